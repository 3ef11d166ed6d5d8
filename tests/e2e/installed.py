#!/usr/bin/env python3
"""The installed program: `cmake --install` into a temporary DESTDIR, the
desktop files checked with Debian's own validators, the .zentarek type known
to shared-mime-info, a Debian package made by cpack with its dependencies,
and the installed program started through its link in
bin/ on a real X server, where F1 finds the help file and --build the badge.

Usage: installed.py BUILD_FOLDER   (prints "N passed, M failed"; exit 1 on failure)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from keyboard import Desktop, Failure, Program  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def run(*args, env=None):
    done = subprocess.run(args, capture_output=True, text=True, timeout=120, env=env)
    if done.returncode != 0:
        raise Failure("%s failed (%d):\n%s%s" % (" ".join(args), done.returncode, done.stdout, done.stderr))
    return done.stdout + done.stderr


def check_tree(build, dest):
    run("cmake", "--install", build, "--prefix", "/usr", env=dict(os.environ, DESTDIR=dest))
    usr = os.path.join(dest, "usr")
    for path in ("bin/zentarek", "lib/zentarek/zentarek", "lib/zentarek/stronarz.hlp",
                 "lib/zentarek/grafika/animgifs/zen_anim.gif", "share/applications/zentarek.desktop",
                 "share/icons/hicolor/48x48/apps/zentarek.png", "share/icons/hicolor/256x256/apps/zentarek.png",
                 "share/metainfo/io.github.zentarek.Light.metainfo.xml", "share/mime/packages/zentarek.xml"):
        if not os.path.exists(os.path.join(usr, path)):
            raise Failure("not installed: " + path)
    if os.readlink(os.path.join(usr, "bin/zentarek")) != "../lib/zentarek/zentarek":
        raise Failure("bin/zentarek is not a relative link to the program folder")
    run("desktop-file-validate", os.path.join(usr, "share/applications/zentarek.desktop"))
    run("appstreamcli", "validate", "--no-net", os.path.join(usr, "share/metainfo/io.github.zentarek.Light.metainfo.xml"))
    mime = os.path.join(dest, "mime")
    shutil.copytree(os.path.join(usr, "share/mime"), mime)
    run("update-mime-database", mime)
    globs = open(os.path.join(mime, "globs2"), encoding="utf-8").read()
    if "application/x-zentarek-project:*.zentarek" not in globs:
        raise Failure("the .zentarek type is not known after update-mime-database")
    return usr


def check_debian_package(build, root):
    out = os.path.join(root, "pakiet")
    run("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(build, "CPackConfig.cmake"))
    debs = [f for f in os.listdir(out) if f.endswith(".deb")]
    if len(debs) != 1:
        raise Failure("cpack made %r" % debs)
    depends = run("dpkg-deb", "-f", os.path.join(out, debs[0]), "Depends")
    for wanted in ("libqt6widgets6", "libqt6multimedia6", "libgif7", "libjpeg62-turbo", "qt6-qpa-plugins",
                   "qt6-translations-l10n", "libssl3", "libssh-4", "libsqlite3-0", "libopusenc0", "libfluidsynth3"):
        if wanted not in depends:
            raise Failure("the package does not depend on %s: %s" % (wanted, depends))
    listing = run("dpkg-deb", "-c", os.path.join(out, debs[0]))
    for path in ("./usr/bin/zentarek -> ../lib/zentarek/zentarek", "./usr/lib/zentarek/libzentarek-dzwiek.so",
                 "./usr/share/applications/zentarek.desktop"):
        if path not in listing:
            raise Failure("the package lacks " + path)


def check_build_finds_the_badge(usr, root):
    out = os.path.join(root, "strona")
    env = dict(os.environ, HOME=os.path.join(root, "home"), XDG_CONFIG_HOME=os.path.join(root, "home/.config"))
    run(os.path.join(usr, "bin/zentarek"), "--build", os.path.join(HERE, "..", "project", "golden-v1.zentarek"),
        "--output", out, env=env)
    for name in ("index.html", "zenanim.gif"):
        if not os.path.exists(os.path.join(out, name)):
            raise Failure("--build of the installed program wrote no " + name)


def check_help_found(desktop, usr, root):
    app = Program(desktop, os.path.join(usr, "bin/zentarek"), root, copy=False)
    try:
        app.wait_line(r"^zentarek-ui shown zk::TKreatorDlg", 0)
        app.wait_line(r"^zentarek-ui focus ", 0)
        since = app.mark()
        app.key("F1")
        _, line = app.wait_line(r"^zentarek-ui shown (QFrame/HelpPopup|QMessageBox)", since)
        if "HelpPopup" not in line:
            raise Failure("F1 in the installed program gave a message box instead of help")
    finally:
        app.close()


def main():
    build = sys.argv[1]
    root = tempfile.mkdtemp(prefix="zentarek-installed-")
    desktop = None
    passed, failed = 0, 0
    began = time.monotonic()
    try:
        usr = check_tree(build, os.path.join(root, "dest"))
        passed += 1
        print("PASS tree")
        check_build_finds_the_badge(usr, root)
        passed += 1
        print("PASS build")
        check_debian_package(build, root)
        passed += 1
        print("PASS package")
        desktop = Desktop(root)
        check_help_found(desktop, usr, root)
        passed += 1
        print("PASS help")
    except Failure as e:
        failed += 1
        print("FAIL %s" % e)
    finally:
        if desktop:
            desktop.close()
        shutil.rmtree(root, ignore_errors=True)
    print("%d passed, %d failed in %.0f s" % (passed, failed, time.monotonic() - began))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
