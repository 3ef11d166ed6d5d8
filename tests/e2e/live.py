#!/usr/bin/env python3
"""The live preview, used as a person would: the real program under Xvfb
opens a long page, Alt+O (Preview) hands the desktop the page's address, and
headless Chromium opens it there (127.0.0.1) and is scrolled down. Words typed
into the editor with real keys must then show in the page Chromium holds,
scrolled where it was, and the file on disk must not carry the reload
script. The command bar's buttons are used by mouse on the way.

The desktop's handler for web addresses is a small script of the test (set in
the test's own mimeapps.list), so xdg-open's real path is taken and no other
browser starts.

Usage: live.py PROGRAM   (prints what it measured; exit 1 on failure)
"""
import json
import os
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from keyboard import DEADLINE, Desktop, Failure, Program, go_to_page  # noqa: E402
from phone import Browser  # noqa: E402

SCROLL = 1500
# The target is half a second (see bench/live_preview.py for the measured
# median); a loaded test machine is given more before this counts as failed.
SHOWN_WITHIN = 3.0


def address_handler(root, home):
    """Makes the test's own script the desktop's browser; returns the file it writes."""
    record = os.path.join(root, "adres.txt")
    script = os.path.join(root, "przegladarka.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % record)
    os.chmod(script, 0o755)
    applications = os.path.join(home, ".local", "share", "applications")
    os.makedirs(applications, exist_ok=True)
    with open(os.path.join(applications, "zapis-adresu.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Zapis adresu\nExec=%s %%u\n"
                "MimeType=x-scheme-handler/http;text/html;\n" % script)
    os.makedirs(os.path.join(home, ".config"), exist_ok=True)
    with open(os.path.join(home, ".config", "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\nx-scheme-handler/http=zapis-adresu.desktop\n"
                "text/html=zapis-adresu.desktop\n")
    return record


def long_project(root):
    project = os.path.join(root, "piekarnia.zentarek")
    text = "".join("<P>Akapit %d: chleb, bułki i rogale z naszego pieca.</P>\n" % i for i in range(200))
    with open(project, "w", encoding="utf-8") as f:
        json.dump({"format": "zentarek-projekt", "wersja": 1, "strona": {"tekst": text + "<P>Koniec", "nazwaPliku": "index.html"}}, f)
    return project


def click(app, button):
    """A left click in the middle of a named button, where the program says it is on the screen."""
    lines = [l for l in app.lines() if l.startswith("zentarek-ui place ") and ("/%s " % button) in l]
    if not lines:
        raise Failure("the program never showed %s" % button)
    x, y, w, h = (int(v) for v in lines[-1].split()[-6:-2])
    app.desktop.run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1")


def evaluate(browser, expression):
    result = browser.tools.call("Runtime.evaluate", expression=expression, returnByValue=True)
    return result["result"].get("value")


def wait_shown(browser, word, since):
    """Seconds from `since` until the page in the browser shows `word`, loaded; its scroll position then."""
    check = ("document.readyState === 'complete' && document.body.innerText.includes(%s) ? scrollY : -1"
             % json.dumps(word))
    while True:
        try:
            scroll = evaluate(browser, check)
        except Failure as e:
            if "navigated or closed" not in str(e):
                raise
            scroll = None  # asked while the page reloads: that is what is being waited for
        if scroll is not None and scroll >= 0:
            return time.monotonic() - since, scroll
        if time.monotonic() - since > DEADLINE:
            raise Failure("the browser never showed %r" % word)
        time.sleep(0.01)


class Session:
    """The program with a project open, previewed (Alt+O) in headless Chromium."""

    def __init__(self, program, root, project):
        self.desktop = self.app = self.browser = None
        try:
            self.desktop = Desktop(root)
            record = address_handler(root, os.path.join(root, "home"))
            self.app = Program(self.desktop, program, root, args=[project])
            self.app.wait_line(r"^zentarek-ui focus ", 0)
            self.app.key("alt+o")
            self.desktop.wait(lambda: os.path.exists(record) and open(record).read().strip(),
                              "the desktop to be given the page")
            self.address = open(record).read().split()[0]
            if not self.address.startswith("http://127.0.0.1:") or not self.address.endswith("/index.html"):
                raise Failure("Preview handed the desktop %r" % self.address)
            self.browser = Browser(root)
            self.browser.tools.call("Page.navigate", url=self.address)
            self.browser.tools.wait_event("Page.loadEventFired")
        except BaseException:
            self.close()
            raise

    def close(self):
        if self.browser:
            self.browser.proc.terminate()
            self.browser.proc.wait(5)
        if self.app:
            self.app.close()
        if self.desktop:
            self.desktop.close()


def main():
    program = sys.argv[1]
    root = tempfile.mkdtemp(prefix="zentarek-live-")
    session = None
    try:
        session = Session(program, root, long_project(root))
        app, browser = session.app, session.browser
        evaluate(browser, "scrollTo(0, %d)" % SCROLL)
        if evaluate(browser, "scrollY") != SCROLL:
            raise Failure("the long page does not scroll to %d" % SCROLL)

        go_to_page(app, 2)
        if not app.focus().endswith("/Edytorek"):
            raise Failure("the editor does not have the focus: %s" % app.focus())
        app.key("ctrl+End")
        app.type(" Zakwas")
        seconds, scroll = wait_shown(browser, "Koniec Zakwas", time.monotonic())
        app.key("shift+ctrl+Left")
        click(app, "BTN_Pogrub")
        bold_text = "[...document.querySelectorAll('b')].map(b => b.textContent).join('|')"
        end = time.monotonic() + DEADLINE
        while not evaluate(browser, bold_text) and time.monotonic() < end:
            time.sleep(0.05)
        bold = evaluate(browser, bold_text)
        if bold != "Zakwas":
            raise Failure("the bar's bold button by mouse made %r bold" % bold)
        if seconds > SHOWN_WITHIN:
            raise Failure("the typed word showed after %.2f s" % seconds)
        if abs(scroll - SCROLL) > 2:
            raise Failure("after the reload the page is scrolled to %s, not %d" % (scroll, SCROLL))
        page = os.path.join(root, "program", "temp", "index.html")
        if b"<script" in open(page, "rb").read():
            raise Failure("the page on disk carries the reload script")
        print("the typed word showed %.2f s after the last key, scrolled where it was" % seconds)
        return 0
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
