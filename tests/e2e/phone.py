#!/usr/bin/env python3
"""Pages for phones, seen in a real browser: projects with the HTML5 document
type are built by the real program (zentarek --build) in each of the three
encodings and loaded into headless Chromium emulating a phone (390 x 844 CSS
px, device scale 3, through its remote debugging protocol on 127.0.0.1). The
page must not scroll sideways, its body text must be at least 16 CSS px, and
every Polish letter, the euro sign and an emoji must show as typed. Each page
has a background sound (a MIDI melody, which the program records as Ogg
Opus, or a WAV file): its AUDIO element must load the media and know its
length. The same page with a 1998 document type is loaded too: it must be
laid out 980 px wide, which shows the check can fail, and keep its BGSOUND.

Usage: phone.py PROGRAM   (prints "N passed, M failed"; exit 1 on failure)
"""
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import wave

CHROMIUM = "/usr/bin/chromium"
DEADLINE = 30.0
TEXT = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ € 😀"
PHONE = {"width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True}


class Failure(Exception):
    pass


def midi_melody(path, seconds):
    """A Standard MIDI File: one piano note and a chord every half second."""
    events = b"\x00\xc0\x00"
    for beat in range(seconds * 2):
        key = (60, 64, 67, 72)[beat % 4]
        events += b"\x00\x90" + bytes([key, 90]) + b"\x00\x90" + bytes([key - 12, 70])
        events += b"\x83\x60\x80" + bytes([key, 0]) + b"\x00\x80" + bytes([key - 12, 0])  # 480 ticks later
    events += b"\x00\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" + struct.pack(">I", len(events)) + events)


def wave_sound(path, seconds):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\x00\x10" * (8000 * seconds))


class DevTools:
    """The least of a WebSocket client that Chromium's debugging protocol needs."""

    def __init__(self, url):
        hostport, path = url[len("ws://"):].split("/", 1)
        host, port = hostport.split(":")
        if host != "127.0.0.1":
            raise Failure("the browser listens on %s, not 127.0.0.1" % host)
        self.sock = socket.create_connection((host, int(port)), timeout=DEADLINE)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, hostport, key)).encode())
        answer = b""
        while b"\r\n\r\n" not in answer:
            answer += self.sock.recv(4096)
        if b" 101 " not in answer.split(b"\r\n")[0]:
            raise Failure("the browser refused the debugging connection")
        self.next_id = 0
        self.events = []

    def _send(self, text):
        data = text.encode()
        mask = os.urandom(4)
        n = len(data)
        if n < 126:
            length = bytes([0x80 | n])
        elif n < 65536:
            length = bytes([0x80 | 126]) + struct.pack(">H", n)
        else:
            length = bytes([0x80 | 127]) + struct.pack(">Q", n)
        header = bytes([0x81]) + length
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _exact(self, n):
        out = b""
        while len(out) < n:
            chunk = self.sock.recv(n - len(out))
            if not chunk:
                raise Failure("the browser closed the debugging connection")
            out += chunk
        return out

    def _receive(self):
        _, second = self._exact(2)
        n = second & 0x7F
        if n == 126:
            n = struct.unpack(">H", self._exact(2))[0]
        elif n == 127:
            n = struct.unpack(">Q", self._exact(8))[0]
        return json.loads(self._exact(n).decode())

    def call(self, method, **params):
        self.next_id += 1
        self._send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = self._receive()
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise Failure("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self.events.append(message.get("method"))

    def wait_event(self, name):
        end = time.monotonic() + DEADLINE
        while name not in self.events:
            if time.monotonic() > end:
                raise Failure("no %s within %.0f s" % (name, DEADLINE))
            self.events.append(self._receive().get("method"))
        self.events.remove(name)


def start_chromium(root, *flags):
    """Headless Chromium with its debugging protocol on 127.0.0.1: the process and its page's tools."""
    profile = os.path.join(root, "chromium-profile")
    proc = subprocess.Popen([CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update", "--disable-sync",
                             *flags, "--user-data-dir=" + profile, "--remote-debugging-address=127.0.0.1",
                             "--remote-debugging-port=0", "about:blank"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, "DevToolsActivePort")
    end = time.monotonic() + DEADLINE
    while not (os.path.exists(port_file) and open(port_file).read().strip()):
        if time.monotonic() > end or proc.poll() is not None:
            proc.kill()
            raise Failure("Chromium did not open its debugging port")
        time.sleep(0.05)
    port = int(open(port_file).read().split()[0])
    targets = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=DEADLINE))
    tools = DevTools([t for t in targets if t["type"] == "page"][0]["webSocketDebuggerUrl"])
    tools.call("Page.enable")
    return proc, tools


class Browser:
    def __init__(self, root):
        self.proc, self.tools = start_chromium(root)
        self.tools.call("Emulation.setDeviceMetricsOverride", **PHONE)

    def measure(self, page):
        self.tools.call("Page.navigate", url="file://" + page)
        self.tools.wait_event("Page.loadEventFired")
        script = ("JSON.stringify({inner: window.innerWidth, scroll: document.documentElement.scrollWidth,"
                  " font: parseFloat(getComputedStyle(document.getElementById('tresc')).fontSize),"
                  " text: document.getElementById('tresc').textContent,"
                  " bgsound: document.getElementsByTagName('bgsound').length})")
        m = json.loads(self.tools.call("Runtime.evaluate", expression=script, returnByValue=True)["result"]["value"])
        m["audio"] = self.audio()
        return m

    def audio(self):
        """What the page's AUDIO element knows once its media is loaded (or failed)."""
        script = ("new Promise(done => { const a = document.querySelector('audio'); if (!a) return done(null);"
                  " const tell = () => done({src: a.currentSrc.split('/').pop(), duration: a.duration,"
                  " state: a.readyState, error: a.error && a.error.code, loop: a.loop, controls: a.controls});"
                  " if (a.readyState >= 1 || a.error) return tell();"
                  " a.addEventListener('loadedmetadata', tell); a.addEventListener('error', tell);"
                  " setTimeout(tell, %d); })" % int(DEADLINE * 1000 / 2))
        result = self.tools.call("Runtime.evaluate", expression=script, awaitPromise=True, returnByValue=True)
        return result["result"].get("value")

    def close(self):
        self.proc.kill()
        self.proc.wait(10)


def build(program, root, name, doctype, encoding, sound):
    folder = os.path.join(root, name)
    os.makedirs(folder)
    if sound.endswith(".mid"):
        midi_melody(os.path.join(folder, sound), 5)
    else:
        wave_sound(os.path.join(folder, sound), 2)
    project = os.path.join(folder, "strona.zentarek")
    with open(project, "w", encoding="utf-8") as f:
        json.dump({"format": "zentarek-projekt", "wersja": 1,
                   "strona": {"typDokumentu": doctype, "kodowanie": encoding, "nazwaPliku": "index.html",
                              "tytul": TEXT, "tekst": '<P id="tresc">%s</P>\n' % TEXT,
                              "dzwiek": {"wlaczony": True, "plik": {"wProjekcie": sound}, "bezKonca": False,
                                         "powtorzenia": 3}}}, f, ensure_ascii=False)
    return build_project(program, root, project, os.path.join(folder, "www"))


def build_project(program, root, project, output):
    """zentarek --build with settings and caches of its own under `root`; the page's path."""
    home = os.path.join(root, "home")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_DATA_HOME=os.path.join(home, ".local", "share"))
    done = subprocess.run([program, "--build", project, "--output", output],
                          capture_output=True, text=True, timeout=120, env=env)
    if done.returncode != 0:
        raise Failure("--build failed: " + done.stderr)
    return os.path.join(output, "index.html")


def main():
    program = os.path.abspath(sys.argv[1])
    if not os.path.exists(CHROMIUM):
        print("SKIP Chromium is not installed (scripts/deps.sh installs the chromium package)")
        return 0
    root = tempfile.mkdtemp(prefix="zentarek-phone-")
    browser = None
    passed, failed = 0, 0
    try:
        browser = Browser(root)
        sounds = {"UTF-8": ("melodia.mid", "melodia.opus", 6.0), "ISO-8859-2": ("szum.wav", "szum.wav", 2.0),
                  "CP-1250": ("dzwięk.mid", "dzwi%C4%99k.opus", 6.0)}
        for encoding in ("UTF-8", "ISO-8859-2", "CP-1250"):
            chosen, travels, length = sounds[encoding]
            try:
                page = build(program, root, "html5-" + encoding, "<!DOCTYPE html>", encoding, chosen)
                m = browser.measure(page)
                if m["inner"] != PHONE["width"] or m["scroll"] > m["inner"]:
                    raise Failure("laid out %d px wide in a %d px window" % (m["scroll"], m["inner"]))
                if m["font"] < 16:
                    raise Failure("body text of %.1f CSS px" % m["font"])
                if m["text"] != TEXT:
                    raise Failure("shows %r" % m["text"])
                a = m["audio"]
                if not a or a["error"] or a["state"] < 1 or a["src"] != travels or not a["controls"]:
                    raise Failure("the sound does not load: %s" % a)
                if not length <= a["duration"] <= length + 4:
                    raise Failure("the sound lasts %s s, not about %s s" % (a["duration"], length))
                if chosen.endswith(".mid") and os.path.exists(os.path.join(os.path.dirname(page), chosen)):
                    raise Failure("the MIDI file travelled with the page")
                passed += 1
                print("PASS html5 %-10s %s" % (encoding, m))
            except Failure as e:
                failed += 1
                print("FAIL html5 %-10s %s" % (encoding, e))
        page = build(program, root, "classic", '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Final//EN">',
                     "ISO-8859-2", "melodia.mid")
        m = browser.measure(page)
        if m["scroll"] == 980 and m["text"] == TEXT and m["bgsound"] == 1 and m["audio"] is None \
                and os.path.exists(os.path.join(os.path.dirname(page), "melodia.mid")):
            passed += 1
            print("PASS classic   laid out 980 px wide, as a 1998 page is on a phone, with BGSOUND and its MIDI file")
        else:
            failed += 1
            print("FAIL classic   %s" % m)
    except Failure as e:
        failed += 1
        print("FAIL setup: %s" % e)
    finally:
        if browser:
            browser.close()
        shutil.rmtree(root, ignore_errors=True)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
