#!/usr/bin/env python3
"""Checks what installing and packaging a build gives, file by file.

    check-package.py install BUILD_DIR VERSION   the install tree and its manual page
    check-package.py archive BUILD_DIR VERSION   the archive cpack makes
"""
import os
import subprocess
import sys
import tarfile
import tempfile
import zipfile


def fail(message):
    sys.exit("FAIL: " + message)


def expect(what, got, wanted):
    if got != wanted:
        fail("%s: got %r, wanted %r" % (what, got, wanted))


def check_install(build, version):
    with tempfile.TemporaryDirectory() as destdir:
        env = dict(os.environ, DESTDIR=destdir)
        subprocess.run(["cmake", "--install", build, "--prefix", "/usr"], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        files = sorted(os.path.relpath(os.path.join(d, f), destdir)
                       for d, _, names in os.walk(destdir) for f in names)
        expect("installed files", files, ["usr/bin/zorezoru", "usr/share/man/man1/zorezoru.1"])
        page = os.path.join(destdir, "usr/share/man/man1/zorezoru.1")
        lint = subprocess.run(["mandoc", "-Tlint", "-W", "warning", page], capture_output=True)
        expect("mandoc -Tlint", (lint.returncode, lint.stdout + lint.stderr), (0, b""))
        shown = subprocess.run(["man", "-l", page], capture_output=True,
                               env=dict(os.environ, MANPAGER="cat", MANWIDTH="80"))
        expect("man -l status", (shown.returncode, shown.stderr), (0, b""))
        footer = shown.stdout.decode().rstrip("\n").splitlines()[-1].split()
        expect("version in the manual page", footer[:2], ["ZOREZORU", version])


def check_archive(build, version):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["cpack", "-B", out], cwd=build, check=True, stdout=subprocess.DEVNULL)
        archives = sorted(f for f in os.listdir(out) if f.endswith((".tar.gz", ".zip")))
        if len(archives) != 1:
            fail("archives made: %r" % archives)
        name = archives[0]
        path = os.path.join(out, name)
        if name.endswith(".zip"):
            top = name[:-len(".zip")]
            expect("archive name", top.rsplit("-", 1)[0], "zorezoru-" + version)
            with zipfile.ZipFile(path) as z:
                members = sorted(n for n in z.namelist() if not n.endswith("/"))
                manual = z.read(top + "/zorezoru.txt")
            expect("archive members", members, [top + "/zorezoru.exe", top + "/zorezoru.txt"])
            expect("manual line ends", manual.count(b"\n"), manual.count(b"\r\n"))
            expect("manual overstrikes", manual.count(b"\b"), 0)
        else:
            top = name[:-len(".tar.gz")]
            expect("archive name", top.split("-")[:2], ["zorezoru", version])
            with tarfile.open(path) as t:
                members = sorted(m.name for m in t.getmembers() if m.isfile())
            expect("archive members", members,
                   [top + "/bin/zorezoru", top + "/share/man/man1/zorezoru.1"])


def main():
    what, build, version = sys.argv[1:4]
    {"install": check_install, "archive": check_archive}[what](build, version)
    print("ok")


if __name__ == "__main__":
    main()
