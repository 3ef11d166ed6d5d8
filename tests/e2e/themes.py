#!/usr/bin/env python3
"""HTML5 pages in every look, seen as their visitors see them: a bakery's page
with every section (a logo, three links with an icon, two contact addresses, a
background picture, a sound, a 4000 x 3000 photo with ALIGN=LEFT, a wide
table, a 200-character web address and a long Polish compound word) is built
by the real program (zentarek --build) in each look and served from
127.0.0.1 to headless Chromium at 320, 390, 768, 1366 and 1920 CSS px. At
every width: no sideways scrolling, no section box over another, every picture
loaded, body text at least 16 px, the photo's float inside main. At phone and
desktop width axe-core, run inside the page, must find no violation. The same
page with valid user markup must give html-validate (recommended rules) no
error. Screenshots go to $ZENTAREK_SHOTS (or a temporary folder) and are named.

Usage: themes.py PROGRAM NPM_FOLDER   (prints "N passed, M failed"; exit 1 on failure)
The npm packages are installed into NPM_FOLDER (npm i -E) when missing.
       themes.py PROGRAM --pages FOLDER [PHOTO]   only builds the test page of every look
                                          into FOLDER/LOOK/ (for bench/lighthouse.sh), with PHOTO
                                          (a JPEG) as the 4000 px photo when given
"""
import base64
import functools
import http.server
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import wave
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from phone import CHROMIUM, Failure, build_project, start_chromium  # noqa: E402

THEMES = ("prosty", "elegancki", "ciemny")
WIDTHS = (320, 390, 768, 1366, 1920)
AXE_WIDTHS = (390, 1366)
NPM_PACKAGES = ("html-validate@10.17.0", "axe-core@4.14.1")
LONG_WORD = "Konstantynopolitańczykowianeczkowymi" * 2
LONG_ADDRESS = "https://piekarnia.example.pl/" + "oferta-chleba-na-zakwasie/" * 6 + "x" * 25


def png(path, width, height, colour, stripes=False):
    """A PNG of one colour (with darker stripes when asked), made without any image library."""
    r, g, b = colour
    row_plain = bytes([r, g, b]) * width
    row_dark = bytes([r // 2, g // 2, b // 2]) * width
    raw = b"".join(b"\x00" + (row_dark if stripes and (y // 40) % 2 else row_plain) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def sound(path):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\x00\x10" * 8000)


def main_text(valid, photo_name):
    if valid:
        photo = '<p><img src="%s" alt="Bochenki chleba na zakwasie"></p>' % photo_name
        table = "<table><tbody><tr>%s</tr></tbody></table>" % "".join("<td>Kolumna %d z cenami</td>" % i for i in range(14))
    else:
        photo = '<IMG SRC="%s" ALIGN=LEFT ALT="Bochenki chleba na zakwasie">' % photo_name
        table = "<TABLE BORDER=1><TR>%s</TR></TABLE>" % "".join("<TD>Kolumna %d z cenami</TD>" % i for i in range(14))
    return "\n".join([
        "<h2>O nas</h2>",
        "<p>Pieczemy codziennie od 1998 roku: chleb na zakwasie, bułki, drożdżówki i ciasta na zamówienie.</p>",
        photo,
        "<p>Nasze wypieki to %s smakołyki, a cały cennik jest pod adresem %s.</p>" % (LONG_WORD, LONG_ADDRESS),
        table,
        "<p>Zapraszamy od poniedziałku do soboty, od 6:00 do 18:00.</p>",
    ])


def build(program, root, theme, valid, photo=None):
    folder = os.path.join(root, "%s-%s" % (theme, "poprawna" if valid else "uzytkownika"))
    os.makedirs(folder)
    png(os.path.join(folder, "logo.png"), 480, 240, (150, 90, 40))
    png(os.path.join(folder, "ikona.png"), 64, 64, (200, 60, 30))
    png(os.path.join(folder, "tlo.png"), 120, 120, (235, 225, 205), stripes=True)
    photo_name = "foto.jpg" if photo else "foto.png"
    if photo:
        shutil.copy(photo, os.path.join(folder, photo_name))
    else:
        png(os.path.join(folder, photo_name), 4000, 3000, (190, 140, 90), stripes=True)
    sound(os.path.join(folder, "dzwonek.wav"))
    page = {
        "typDokumentu": "<!DOCTYPE html>", "kodowanie": "UTF-8", "nazwaPliku": "index.html", "wyglad": theme,
        "tytul": "Piekarnia Kowalski – chleb na zakwasie",
        "opisStrony": "Rodzinna piekarnia w Krakowie: chleb na zakwasie, bułki i ciasta pieczone codziennie od 1998 roku.",
        "adresStrony": "https://piekarnia.example.pl/",
        "tlo": {"rodzaj": "obraz", "kolor": "#c0c0c0", "obraz": {"wProjekcie": "tlo.png"}},
        "naglowek": {"tekst": "Piekarnia Kowalski", "wyrownanie": "srodek", "kolor": "#000000"},
        "podtytul": {"tekst": "Chleb jak dawniej", "wyrownanie": "srodek", "kolor": "#000000"},
        "logo": {"wlaczone": True, "plik": {"wProjekcie": "logo.png"}},
        "kreska": True,
        "dzwiek": {"wlaczony": True, "plik": {"wProjekcie": "dzwonek.wav"}, "bezKonca": False, "powtorzenia": 1},
        "odnosniki": {"naglowek": {"tekst": "Polecamy", "wyrownanie": "lewo", "kolor": "#000000"},
                      "ikona": {"wlaczone": True, "plik": {"wProjekcie": "ikona.png"}},
                      "lista": [{"nazwa": "Cech Rzemiosł Spożywczych", "adres": "https://cech.example.pl/"},
                                {"nazwa": "Młyn Zbożowy Wiśniewski", "adres": "https://mlyn.example.pl/"},
                                {"nazwa": "Przepisy na zakwas", "adres": "https://przepisy.example.pl/"}]},
        "adresy": {"lista": ["sklep@piekarnia.example.pl", "zamowienia@piekarnia.example.pl"],
                   "ikona": {"wlaczone": False, "plik": ""}},
        "tekst": main_text(valid, photo_name),
    }
    project = os.path.join(folder, "piekarnia.zentarek")
    with open(project, "w", encoding="utf-8") as f:
        json.dump({"format": "zentarek-projekt", "wersja": 1, "strona": page}, f, ensure_ascii=False)
    return os.path.relpath(build_project(program, root, project, os.path.join(folder, "www")), root)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(root):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=root))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def npm_tools(folder):
    """The npm packages the checks use, installed once into `folder`."""
    if not shutil.which("npm"):
        return None
    marker = os.path.join(folder, "node_modules", "axe-core", "axe.min.js")
    if not os.path.exists(marker) or not os.path.exists(os.path.join(folder, "node_modules", ".bin", "html-validate")):
        os.makedirs(folder, exist_ok=True)
        if not os.path.exists(os.path.join(folder, "package.json")):
            with open(os.path.join(folder, "package.json"), "w") as f:
                f.write('{"private": true}\n')
        subprocess.run(["npm", "i", "-E", "--no-audit", "--no-fund", *NPM_PACKAGES], cwd=folder, check=True,
                       timeout=300, stdout=subprocess.DEVNULL)
    return folder


LAYOUT = """JSON.stringify((() => {
  const doc = document.documentElement;
  const r = {inner: window.innerWidth, scroll: doc.scrollWidth};
  const boxes = [...document.querySelectorAll('body > header, body > main, body > nav, body > aside, body > footer')]
    .map(e => { const b = e.getBoundingClientRect(); return {tag: e.tagName, top: b.top + scrollY, bottom: b.bottom + scrollY}; });
  r.sections = boxes.map(b => b.tag).join(' ');
  r.overlaps = [];
  for (let i = 1; i < boxes.length; i++)
    if (boxes[i].top < boxes[i - 1].bottom - 0.5) r.overlaps.push(boxes[i - 1].tag + '/' + boxes[i].tag);
  r.unloaded = [...document.images].filter(i => !(i.complete && i.naturalWidth > 0)).map(i => i.getAttribute('src'));
  r.images = document.images.length;
  r.font = Math.min(...[...document.querySelectorAll('main p, nav li, aside li')].map(e => parseFloat(getComputedStyle(e).fontSize)));
  const main = document.querySelector('main').getBoundingClientRect();
  const outside = e => { const b = e.getBoundingClientRect();
    return b.bottom > main.bottom + 0.5 || b.left < main.left - 0.5 || b.right > main.right + 0.5; };
  r.floats = [...document.querySelectorAll('main *')].filter(e => getComputedStyle(e).float !== 'none').length;
  r.floatsOutside = [...document.querySelectorAll('main *')].filter(e => getComputedStyle(e).float !== 'none' && outside(e))
    .map(e => e.tagName);
  r.wideOutside = [...document.querySelectorAll('main > *')].filter(outside).map(e => e.tagName);
  return r;
})())"""

LOAD_ALL = """Promise.race([
  Promise.all([...document.images].map(i => { i.loading = 'eager';
    return i.complete ? 0 : new Promise(done => { i.addEventListener('load', done); i.addEventListener('error', done); }); })),
  new Promise(done => setTimeout(done, 15000))]).then(() => document.images.length)"""


class Page:
    def __init__(self, root):
        self.proc, self.tools = start_chromium(root, "--hide-scrollbars")

    def evaluate(self, script, promise=False):
        result = self.tools.call("Runtime.evaluate", expression=script, awaitPromise=promise, returnByValue=True)
        if "exceptionDetails" in result:
            raise Failure("script failed: %s" % result["exceptionDetails"].get("text"))
        return result["result"].get("value")

    def open(self, url, width):
        phone = width < 768
        self.tools.call("Emulation.setDeviceMetricsOverride", width=width, height=844 if phone else 900,
                        deviceScaleFactor=2 if phone else 1, mobile=phone)
        self.tools.call("Page.navigate", url=url)
        self.tools.wait_event("Page.loadEventFired")
        self.evaluate(LOAD_ALL, promise=True)
        return json.loads(self.evaluate(LAYOUT))

    def axe(self, source):
        self.evaluate(source)
        found = self.evaluate("axe.run(document).then(r => JSON.stringify(r.violations.map(v => "
                              "({id: v.id, nodes: v.nodes.map(n => n.target.join(' '))}))))", promise=True)
        return json.loads(found)

    def screenshot(self, path):
        shot = self.tools.call("Page.captureScreenshot", format="png", captureBeyondViewport=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def close(self):
        self.proc.kill()
        self.proc.wait(10)


def layout_faults(m, width):
    faults = []
    if m["inner"] != width or m["scroll"] > m["inner"]:
        faults.append("laid out %d px wide in a %d px window" % (m["scroll"], m["inner"]))
    if m["sections"] != "HEADER MAIN NAV ASIDE FOOTER":
        faults.append("sections %s" % m["sections"])
    if m["overlaps"]:
        faults.append("section boxes overlap: %s" % m["overlaps"])
    if m["unloaded"] or m["images"] < 6:
        faults.append("pictures not loaded: %s of %d" % (m["unloaded"], m["images"]))
    if m["font"] < 16:
        faults.append("text of %.1f px" % m["font"])
    if m["floatsOutside"] or m["wideOutside"]:
        faults.append("outside main: floats %s, boxes %s" % (m["floatsOutside"], m["wideOutside"]))
    return faults


def validate(tools, root, page):
    config = os.path.join(root, "htmlvalidate.json")
    with open(config, "w") as f:
        f.write('{"extends": ["html-validate:recommended"]}\n')
    done = subprocess.run([os.path.join(tools, "node_modules", ".bin", "html-validate"), "--config", config,
                           os.path.join(root, page)], capture_output=True, text=True, timeout=120)
    return done.returncode, (done.stdout + done.stderr).strip()


def errors_outside_main(root, page, report):
    """The lines html-validate faults that are not the user's, inside main."""
    lines = open(os.path.join(root, page), encoding="utf-8").read().split("\n")
    first = next(i for i, l in enumerate(lines) if l.startswith("<main")) + 1
    last = next(i for i, l in enumerate(lines) if l.startswith("</main>")) + 1
    faulted = [int(l.split(":")[0]) for l in report.split("\n") if " error " in l and l.strip()[:1].isdigit()]
    return [n for n in faulted if not first < n < last]


def build_pages(program, folder, photo):
    os.makedirs(folder, exist_ok=True)
    for theme in THEMES:
        page = build(program, folder, theme, valid=False, photo=photo)
        shutil.move(os.path.join(folder, os.path.dirname(page)), os.path.join(folder, theme))
        print(os.path.join(folder, theme, "index.html"))
    return 0


def main():
    program = os.path.abspath(sys.argv[1])
    if sys.argv[2] == "--pages":
        return build_pages(program, os.path.abspath(sys.argv[3]), sys.argv[4] if len(sys.argv) > 4 else None)
    if not os.path.exists(CHROMIUM):
        print("SKIP Chromium is not installed (scripts/deps.sh installs the chromium package)")
        return 0
    tools = npm_tools(os.path.abspath(sys.argv[2]))
    if not tools:
        print("SKIP npm is not installed: html-validate and axe-core cannot be installed")
        return 0
    axe_source = open(os.path.join(tools, "node_modules", "axe-core", "axe.min.js"), encoding="utf-8").read()
    root = tempfile.mkdtemp(prefix="zentarek-themes-")
    shots = os.environ.get("ZENTAREK_SHOTS") or os.path.join(root, "zrzuty")
    os.makedirs(shots, exist_ok=True)
    server, page = None, None
    passed, failed = 0, 0

    def report(ok, what, detail=""):
        nonlocal passed, failed
        passed, failed = passed + ok, failed + (not ok)
        print("%s %-34s %s" % ("PASS" if ok else "FAIL", what, detail))

    try:
        built = {(t, valid): build(program, root, t, valid) for t in THEMES for valid in (False, True)}
        server = serve(root)
        base = "http://127.0.0.1:%d/" % server.server_address[1]
        page = Page(root)
        for theme in THEMES:
            url = base + built[(theme, False)]
            for width in WIDTHS:
                m = page.open(url, width)
                faults = layout_faults(m, width)
                if width <= 390 and m["floats"]:
                    faults.append("the photo still floats on a phone")
                shot = os.path.join(shots, "%s-%d.png" % (theme, width))
                page.screenshot(shot)
                report(not faults, "%s at %d px" % (theme, width), "; ".join(faults) or os.path.basename(shot))
                if width in AXE_WIDTHS:
                    violations = page.axe(axe_source)
                    report(not violations, "%s axe-core at %d px" % (theme, width),
                           json.dumps(violations, ensure_ascii=False) if violations else "0 violations")
            code, text = validate(tools, root, built[(theme, True)])
            report(code == 0, "%s html-validate" % theme, "0 errors" if code == 0 else text)
            code, text = validate(tools, root, built[(theme, False)])
            outside = errors_outside_main(root, built[(theme, False)], text)
            report(code != 0 and not outside, "%s html-validate, user markup" % theme,
                   "only the user's own lines are faulted" if code and not outside else "lines %s: %s" % (outside, text))
    except Failure as e:
        report(False, "setup", str(e))
    finally:
        if page:
            page.close()
        if server:
            server.shutdown()
        if not os.environ.get("ZENTAREK_SHOTS"):
            shutil.rmtree(root, ignore_errors=True)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
