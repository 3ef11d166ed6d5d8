#!/usr/bin/env python3
"""The rules of docs/architecture.md that a compiler cannot see, checked on
the source tree. Exits 1 and names each broken rule with its file and line.

    boundaries.py SOURCE_DIR QT_WIDGETS_INCLUDE_DIR...
    boundaries.py --self-test QT_WIDGETS_INCLUDE_DIR...   (each rule fires on a planted fault)
"""
import os
import re
import sys
import tempfile

# The rooms below the forms: they know no widgets.
NO_WIDGETS = ("generator/", "output/", "project/", "imaging/", "publish/", "description/",
              "editor/HtmlGrammar.")
# The publish dialog lives in publish/ beside the code it drives.
WIDGETS_ALLOWED = ("publish/publikow.",)
# Our own headers that are forms or widgets.
WIDGET_ROOMS = ("app/", "dialogs/", "widgets/", "platform/ui/", "editor/", "publish/publikow.")
NOT_WIDGET = ("editor/HtmlGrammar.h",)

SOCKET_FILE = "publish/SocketApi.cpp"
CHECKED_WRITE = ("platform/CheckedFile.h", "platform/CheckedFile.cpp")
# The one place a test may pause: a poll with a deadline.
PAUSE_HELPER = "tests/support/Eventually.h"
# An FTP session's transfer state changes in one function only.
TRANSFER_STATE = ("publish/ftp.cpp", re.compile(r"\bm_state\s*=(?!=)"), "setState")
DEFINITION = re.compile(r"^[A-Za-z].*\b\w+::(\w+)\s*\(")

SOURCE = re.compile(r"\.(cpp|h)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
RAW_SOCKET = re.compile(r"(?<![\w>.:])::(socket|send|recv|accept|close)\s*\(")
SAVE_FILE = re.compile(r"\bQSaveFile\b")
PAUSE = re.compile(r"\b(sleep|msleep|usleep|nanosleep|sleep_for|sleep_until)\s*\(")
SKIPPED = ("build", ".git", "node_modules")


def code_lines(text):
    """Lines with comments and string literals blanked, numbered from 1."""
    text = re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group()), text, flags=re.S)
    for number, line in enumerate(text.split("\n"), 1):
        line = re.sub(r'"(\\.|[^"\\])*"', '""', line)
        yield number, line.split("//", 1)[0]


def sources(root):
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [d for d in subfolders if not d.startswith(SKIPPED)]
        for name in sorted(files):
            if SOURCE.search(name):
                path = os.path.join(folder, name)
                yield os.path.relpath(path, root).replace(os.sep, "/"), path


def widget_headers(root, qt_dirs):
    names = set()
    for d in qt_dirs:
        if os.path.basename(d.rstrip("/")) == "QtWidgets" and os.path.isdir(d):
            names.update(os.listdir(d))
    if not names:
        sys.exit("boundaries.py: no QtWidgets include folder among %s" % qt_dirs)
    names.discard("QtWidgets")  # the module header is caught by its prefix below
    for d in qt_dirs:  # Qt 6 keeps forwarders of a few headers that moved to Gui
        for other in ("QtGui", "QtCore"):
            sibling = os.path.join(os.path.dirname(d.rstrip("/")), other)
            if os.path.isdir(sibling):
                names.difference_update(os.listdir(sibling))
    own = {os.path.basename(rel) for rel, _ in sources(root)
           if rel.startswith(WIDGET_ROOMS) and rel.endswith(".h") and rel not in NOT_WIDGET}
    return names, own


def is_widget_include(header, qt_names, own):
    folder, _, base = header.rpartition("/")
    return header.startswith("QtWidgets") or base in own or (base in qt_names and folder in ("", "QtWidgets"))


def check(root, qt_dirs):
    qt_names, own = widget_headers(root, qt_dirs)
    faults = []

    def fault(rule, rel, number, why):
        faults.append("%s:%d: [%s] %s" % (rel, number, rule, why))

    for rel, path in sources(root):
        with open(path, encoding="utf-8", errors="replace") as f:
            raw = f.read()
        below_forms = rel.startswith(NO_WIDGETS) and not rel.startswith(WIDGETS_ALLOWED)
        program = not rel.startswith(("tests/", "bench/", "fuzz/"))
        for number, line in enumerate(raw.split("\n"), 1):
            m = INCLUDE.match(line)
            if m and below_forms and is_widget_include(m.group(1), qt_names, own):
                fault("no widgets below the forms", rel, number,
                      "%s includes the widget header %s" % (rel.split("/")[0], m.group(1)))
        function = None
        for number, line in code_lines(raw):
            d = DEFINITION.match(line)
            function = d.group(1) if d else function
            if rel == TRANSFER_STATE[0] and TRANSFER_STATE[1].search(line) and function != TRANSFER_STATE[2]:
                fault("one transfer state", rel, number, "the transfer state is set outside T_FTP::setState")
            if program and rel != SOCKET_FILE and RAW_SOCKET.search(line):
                fault("sockets only through SocketApi", rel, number,
                      "raw %s() outside %s" % (RAW_SOCKET.search(line).group(1), SOCKET_FILE))
            if rel not in CHECKED_WRITE and SAVE_FILE.search(line):
                fault("one way to write a file", rel, number,
                      "QSaveFile outside the checked write (writeFileChecked in platform/CheckedFile)")
            if rel.startswith("tests/") and rel != PAUSE_HELPER and PAUSE.search(line):
                fault("no sleeps in tests", rel, number,
                      "%s() in a test: wait for the event (eventually) or poll with a deadline (pollUntil)"
                      % PAUSE.search(line).group(1))
    return faults


PLANTED = {
    "generator/Planted.cpp": ("#include <QWidget>\n", "no widgets below the forms"),
    "editor/HtmlGrammar.cpp": ('#include "THtmlMemo.h"\n', "no widgets below the forms"),
    "project/Planted.cpp": ("void f() { QSaveFile file(\"x\"); }\n", "one way to write a file"),
    "output/Planted.cpp": ("void f(int s) { ::send(s, 0, 0, 0); }\n", "sockets only through SocketApi"),
    "tests/app/test_planted.cpp": ("void f() { QThread::msleep(50); }\n", "no sleeps in tests"),
    "publish/ftp.cpp": ("void T_FTP::setState(FtpTransfer next)\n{\n    m_state = next;\n}\n"
                        "void T_FTP::abort()\n{\n    if (m_state == FtpTransfer::Idle)\n        m_state = FtpTransfer::Lost;\n}\n",
                        "one transfer state"),
}
ALLOWED = {
    "publish/publikow.cpp": "#include <QDialog>\n",
    "platform/CheckedFile.cpp": "void f() { QSaveFile file(\"x\"); }\n",
    "publish/SocketApi.cpp": "void f(int s) { ::close(s); }\n",
    "tests/support/Eventually.h": "void f() { std::this_thread::sleep_for(x); }\n",
    "generator/Comment.cpp": "// a QSaveFile would lose data; ::close( is named here only\nconst char *s = \"sleep(1)\";\n",
    "publish/Client.cpp": "void Client::close() {}\n",
    "editor/THtmlMemo.h": "#include <QPlainTextEdit>\n",
}


def self_test(qt_dirs):
    with tempfile.TemporaryDirectory() as root:
        for rel, text in list(ALLOWED.items()) + [(r, t) for r, (t, _) in PLANTED.items()]:
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        faults = check(root, qt_dirs)
    wrong = []
    for rel, (_, rule) in PLANTED.items():  # each planted file holds one fault
        found = [f for f in faults if f.startswith(rel + ":")]
        if len(found) != 1 or "[%s]" % rule not in found[0]:
            wrong.append("%s [%s]: expected one fault, found %s" % (rel, rule, found))
    wrong += ["caught wrongly: " + f for f in faults if f.split(":")[0] not in PLANTED]
    for w in wrong:
        print(w)
    return 1 if wrong else 0


def main(argv):
    if len(argv) >= 2 and argv[1] == "--self-test":
        return self_test(argv[2:])
    faults = check(argv[1], argv[2:])
    for f in faults:
        print(f)
    if faults:
        print("%d broken rule(s); the rules are in docs/architecture.md" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
