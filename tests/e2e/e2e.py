#!/usr/bin/env python3
"""End-to-end cases against the built program: real files, pipes, a
pseudo-terminal, /dev/full, closed descriptors.

    e2e.py PROGRAM [--runner CMD] [--sanitized] [unittest arguments...]

--runner runs the program through another command (Wine for the Windows
build); cases that only a POSIX build can show are skipped there. When the
runner cannot start the program at all, every case is skipped and the exit
status is 77. --launcher names the Windows launcher for the handle set-ups
that only a Windows parent can make.
"""
import argparse
import functools
import hashlib
import os
import pty
import random
import select
import shlex
import signal
import subprocess
import sys
import tempfile
import time
import tty
import unittest

PROGRAM = None
RUNNER = []
LAUNCHER = None
SANITIZED = False
SKIPPED = 77

USAGE_ROWS = (b"Usage: ZOREZORU GO\r\n"
         b"   This utility reads an ASCII file from stdin, removes the first two\r\n"
         b"   characters, and sends the results to stdout.\r\n"
         b"   Options are:\r\n"
         b"       /D    Turn on Debugging Messages.\r\n"
         b"\r\n")
USAGE = None  # the version row, then USAGE_ROWS: set in main()
DEBUG = b"Debug Mode On\r\n"
CANNOT_READ = b"ZOREZORU: cannot read standard input\r\n"
CANNOT_WRITE = b"ZOREZORU: cannot write standard output\r\n"


def model(data):
    """The byte rule for file and pipe input, as plainly as it can be said."""
    data = data.split(b"\x1a", 1)[0].replace(b"\r\n", b"\n")
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return b"".join(line[2:] + b"\r\n" for line in lines)


def command(args):
    return RUNNER + [PROGRAM] + list(args)


def native():
    return not RUNNER


def windows_path(path):
    """A path of this machine as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def runner_works():
    """Whether the program starts under the runner: it must show its usage."""
    try:
        done = subprocess.run(command([]), stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=120)
    except (OSError, subprocess.TimeoutExpired) as error:
        return False, str(error)
    if (done.returncode, done.stderr) != (1, USAGE):
        return False, "status %d, %r" % (done.returncode, done.stderr[-200:])
    return True, ""


class Files:
    """Temporary files for one case."""

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()

    def path(self, name, content=None):
        p = os.path.join(self.dir.name, name)
        if content is not None:
            with open(p, "wb") as f:
                f.write(content)
        return p

    def close(self):
        self.dir.cleanup()


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def native_only(reason):
    """Skips a case when the program runs under a runner. Decided when the
    case runs, since the runner is known only then."""
    def wrap(case):
        @functools.wraps(case)
        def run(self, *args):
            if not native():
                self.skipTest(reason)
            return case(self, *args)
        return run
    return wrap


class Case(unittest.TestCase):
    needs_native = None    # a reason: the whole group needs the native build
    needs_windows = None   # a reason: the whole group needs the Windows build

    def setUp(self):
        if self.needs_native and not native():
            self.skipTest(self.needs_native)
        if self.needs_windows and (native() or not LAUNCHER):
            self.skipTest(self.needs_windows)
        self.files = Files()

    def tearDown(self):
        if hasattr(self, "files"):
            self.files.close()

    def run_tool(self, args, data, stdin="file", stdout="file", timeout=60):
        """Runs the tool with its input from a file or a pipe and its output
        to a file or a pipe; gives (status, out, err)."""
        err_path = self.files.path("err")
        with open(err_path, "wb") as err:
            if stdin == "file":
                in_path = self.files.path("in", data)
                in_file = open(in_path, "rb")
            else:
                in_file = subprocess.PIPE
            out_file = open(self.files.path("out"), "wb") if stdout == "file" else subprocess.PIPE
            proc = subprocess.Popen(command(args), stdin=in_file, stdout=out_file, stderr=err)
            if stdin == "file":
                in_file.close()
            if stdout == "file":
                out_file.close()
            out, _ = proc.communicate(data if stdin == "pipe" else None, timeout=timeout)
            if stdout == "file":
                out = read_file(self.files.path("out"))
        return proc.returncode, out, read_file(err_path)


# The table: arguments, input, expected output, error stream, status.
CASES = [
    ("crlf lines", ["GO"], b"ABCD\r\nEFGH\r\n", b"CD\r\nGH\r\n", b"", 0),
    ("lf lines", ["GO"], b"ABCDEF\nAB\nA\n\n", b"CDEF\r\n\r\n\r\n\r\n", b"", 0),
    ("empty input", ["GO"], b"", b"", b"", 0),
    ("last line without lf", ["GO"], b"ABCD\r\nXYZ", b"CD\r\nZ\r\n", b"", 0),
    ("lone cr kept", ["GO"], b"ABC\rDEF\nABCD\r", b"C\rDEF\r\nCD\r\r\n", b"", 0),
    ("nul kept", ["GO"], b"ABCD\0EF\n", b"CD\0EF\r\n", b"", 0),
    ("end mark", ["GO"], b"ABCD\r\n\x1aEFGH\r\n", b"CD\r\n", b"", 0),
    ("cr lf across blocks", ["GO"], b"x" * 4095 + b"\r\nABC\r\n",
     b"x" * 4093 + b"\r\nC\r\n", b"", 0),
    ("cr then text across blocks", ["GO"], b"x" * 4095 + b"\rABC\r\n",
     b"x" * 4093 + b"\rABC\r\n", b"", 0),
    ("long line", ["GO"], b"AB" + b"0123456789" * 20000 + b"\r\nABCD\r\n",
     b"0123456789" * 20000 + b"\r\nCD\r\n", b"", 0),
    ("line of 56999", ["GO"], b"y" * 56999 + b"\n", b"y" * 56997 + b"\r\n", b"", 0),
    ("no arguments", [], b"ABCD\n", b"", "usage", 1),
    ("five arguments", ["/D"] * 5, b"ABCD\n", b"", "usage", 1),
    ("four arguments", ["A", "B", "C", "D"], b"ABCD\n", b"CD\r\n", b"", 0),
    ("debug switches", ["-D", "/d", "/DEBUG", "--D"], b"ABCD\n", b"CD\r\n", DEBUG * 2, 0),
    ("debug with empty argument", ["/D", ""], b"ABCD\n", b"CD\r\n", DEBUG, 0),
]


def set_usage_cases():
    for i, (name, args, data, out, err, status) in enumerate(CASES):
        if err == "usage":
            CASES[i] = (name, args, data, out, USAGE, status)


class Table(Case):
    def test_cases_over_files_and_pipes(self):
        for name, args, data, out, err, status in CASES:
            for stdin in ("file", "pipe"):
                for stdout in ("file", "pipe"):
                    with self.subTest(name, stdin=stdin, stdout=stdout):
                        got = self.run_tool(args, data, stdin, stdout)
                        self.assertEqual(got, (status, out, err))

    def test_binary_input_matches_the_model(self):
        rng = random.Random(20261211)
        for size in (1, 4095, 4096, 4097, 70000):
            data = bytes(rng.choice(b"AB\r\n\0\xff\x1a") if rng.random() < 0.2
                         else rng.randrange(256) for _ in range(size))
            for stdin in ("file", "pipe"):
                with self.subTest(size=size, stdin=stdin):
                    self.assertEqual(self.run_tool(["GO"], data, stdin, "pipe"),
                                     (0, model(data), b""))

    def test_usage_reads_no_input(self):
        path = self.files.path("in", b"ABCD\n")
        with open(path, "rb") as f:
            status = subprocess.run(command([]), stdin=f, stderr=subprocess.DEVNULL).returncode
            self.assertEqual(status, 1)
            self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR), 0)

    def test_one_file_for_output_and_errors(self):
        in_path = self.files.path("in", b"ABCD\r\nEFGH\r\n")
        both = self.files.path("both")
        with open(in_path, "rb") as i, open(both, "wb") as o:
            status = subprocess.run(command(["/D"]), stdin=i, stdout=o, stderr=o).returncode
        self.assertEqual(status, 0)
        self.assertEqual(read_file(both), b"CD\r\nGH\r\n" + DEBUG)


class Pipes(Case):
    def test_output_to_a_pipe_leaves_in_full_pieces(self):
        proc = subprocess.Popen(command(["GO"]), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        os.set_blocking(proc.stdout.fileno(), False)
        line = b"AB" + b"z" * 98 + b"\n"  # 100 bytes out per line
        proc.stdin.write(line * 40)
        proc.stdin.flush()
        time.sleep(1.0)
        self.assertFalse(self.ready(proc), "output left before a piece was full")
        proc.stdin.write(line * 1)  # now more than 4,096 bytes are waiting
        proc.stdin.flush()
        self.assertTrue(self.ready(proc, 20))
        self.assertEqual(len(self.read_some(proc, 4096)), 4096)
        proc.stdin.close()
        rest = self.read_some(proc, 41 * 100 - 4096, 20)
        self.assertEqual(len(rest), 41 * 100 - 4096)
        self.assertEqual(proc.wait(20), 0)
        proc.stdout.close()

    @staticmethod
    def ready(proc, timeout=0.0):
        return bool(select.select([proc.stdout], [], [], timeout)[0])

    @staticmethod
    def read_some(proc, count, timeout=5):
        got = b""
        deadline = time.time() + timeout
        while len(got) < count and time.time() < deadline:
            if select.select([proc.stdout], [], [], 0.2)[0]:
                chunk = os.read(proc.stdout.fileno(), count - len(got))
                if not chunk:
                    break
                got += chunk
        return got

    def test_reader_leaving_stops_endless_input(self):
        err_path = self.files.path("err")
        yes = subprocess.Popen(["yes", "ABCDEFGH"], stdout=subprocess.PIPE)
        with open(err_path, "wb") as err:
            proc = subprocess.Popen(command(["GO"]), stdin=yes.stdout, stdout=subprocess.PIPE,
                                    stderr=err)
        yes.stdout.close()
        self.assertEqual(proc.stdout.read(10000)[:8], b"CDEFGH\r\n")
        proc.stdout.close()  # the reader leaves
        status = proc.wait(timeout=10)
        yes.kill()
        yes.wait()
        self.assertEqual((status, read_file(err_path)), (2, b""))

    @native_only("a non-blocking descriptor is a POSIX matter")
    def test_non_blocking_pipe_as_input(self):
        r, w = os.pipe()
        os.set_blocking(r, False)
        proc = subprocess.Popen(command(["GO"]), stdin=r, stdout=subprocess.PIPE)
        os.close(r)
        for i in range(5):
            time.sleep(0.1)
            os.write(w, b"AB%d\r\n" % i)
        os.close(w)
        out, _ = proc.communicate(timeout=20)
        self.assertEqual((proc.returncode, out), (0, b"0\r\n1\r\n2\r\n3\r\n4\r\n"))

    def test_long_line_in_constant_memory(self):
        size = 300_000_000 if native() and not SANITIZED else 30_000_000
        # The input comes from a pipe, the output goes to one; neither side
        # holds the line in memory, the tool least of all.
        source = subprocess.Popen(
            ["sh", "-c", "head -c %d /dev/zero | tr '\\0' x; printf '\\r\\n'" % size],
            stdout=subprocess.PIPE)
        # GNU time reports the peak of the program itself, not of the Python
        # process it was forked from.
        measure = native() and not SANITIZED and os.path.exists("/usr/bin/time")
        peak_path = self.files.path("peak")
        timer = ["/usr/bin/time", "-f", "%M", "-o", peak_path] if measure else []
        proc = subprocess.Popen(timer + command(["GO"]), stdin=source.stdout,
                                stdout=subprocess.PIPE)
        source.stdout.close()
        digest, count = hashlib.sha256(), 0
        while True:
            chunk = proc.stdout.read(1 << 20)
            if not chunk:
                break
            digest.update(chunk)
            count += len(chunk)
        proc.stdout.close()
        proc.wait()
        source.wait()
        expected = hashlib.sha256()
        for _ in range((size - 2) // 10_000_000):
            expected.update(b"x" * 10_000_000)
        expected.update(b"x" * ((size - 2) % 10_000_000) + b"\r\n")
        self.assertEqual((proc.returncode, count), (0, size))
        self.assertEqual(digest.hexdigest(), expected.hexdigest())
        if measure:
            peak_kib = int(read_file(peak_path).split()[-1])
            self.assertLess(peak_kib, 8 * 1024, "peak resident set in KiB")


class Faults(Case):
    def run_with(self, args, stdin, stdout, stderr=None):
        err_path = self.files.path("err")
        with open(err_path, "wb") as err:
            status = subprocess.run(command(args), stdin=stdin, stdout=stdout,
                                    stderr=err if stderr is None else stderr,
                                    timeout=60).returncode
        return status, read_file(err_path)

    def test_full_disk(self):
        path = self.files.path("in", b"ABCD\n" * 10000)
        with open(path, "rb") as i, open("/dev/full", "wb") as full:
            self.assertEqual(self.run_with(["GO"], i, full), (2, CANNOT_WRITE))

    def test_full_disk_at_close(self):
        path = self.files.path("in", b"ABCD\n")
        with open(path, "rb") as i, open("/dev/full", "wb") as full:
            self.assertEqual(self.run_with(["GO"], i, full), (2, CANNOT_WRITE))

    def test_directory_as_input(self):
        fd = os.open(self.files.dir.name, os.O_RDONLY)
        try:
            self.assertEqual(self.run_with(["GO"], fd, subprocess.DEVNULL), (2, CANNOT_READ))
        finally:
            os.close(fd)

    def closed(self, fd, args, data=b"ABCD\n"):
        """Runs the tool with descriptor `fd` closed; gives (status, out, err)."""
        in_path = self.files.path("in", data)
        out_path, err_path = self.files.path("out"), self.files.path("err")
        script = 'exec {fd}>&- ; exec "$@"'.format(fd=fd)
        with open(in_path, "rb") as i, open(out_path, "wb") as o, open(err_path, "wb") as e:
            status = subprocess.run(["sh", "-c", script, "sh"] + command(args),
                                    stdin=i, stdout=o, stderr=e, timeout=60).returncode
        return status, read_file(out_path), read_file(err_path)

    @native_only("closed descriptors are a POSIX matter")
    def test_closed_descriptors(self):
        self.assertEqual(self.closed(0, ["/D"]), (0, b"", DEBUG))
        self.assertEqual(self.closed(1, ["/D"]), (0, b"", DEBUG))
        self.assertEqual(self.closed(2, ["/D"]), (0, b"CD\r\n", b""))
        self.assertEqual(self.closed(2, []), (1, b"", b""))


class Console(Case):
    needs_native = "the pseudo-terminal cases need the native build"

    def spawn(self, args, stdin, stdout, stderr):
        return subprocess.Popen(command(args), stdin=stdin, stdout=stdout, stderr=stderr)

    @staticmethod
    def terminal():
        master, slave = pty.openpty()
        tty.setraw(slave)  # no echo, no translation: the bytes as written
        return master, slave

    @staticmethod
    def read_until(fd, wanted, timeout=10):
        got = b""
        deadline = time.time() + timeout
        while not got.endswith(wanted) and time.time() < deadline:
            if select.select([fd], [], [], 0.1)[0]:
                try:
                    got += os.read(fd, 4096)
                except OSError:
                    break
        return got

    @staticmethod
    def read_rest(fd):
        """What the terminal still holds once the program has gone."""
        got = b""
        while select.select([fd], [], [], 0.2)[0]:
            try:
                chunk = os.read(fd, 4096)
            except OSError:  # the other side is closed: all has been read
                break
            if not chunk:
                break
            got += chunk
        return got

    def test_each_line_at_once_and_debug_message_first(self):
        master, slave = self.terminal()
        proc = self.spawn(["/D"], subprocess.PIPE, slave, slave)
        os.close(slave)
        # The input stays open: each line must show before the next is sent.
        proc.stdin.write(b"ABCD\r\n")
        proc.stdin.flush()
        self.assertEqual(self.read_until(master, b"CD\r\n"), DEBUG + b"CD\r\n")
        proc.stdin.write(b"EFGH\n")
        proc.stdin.flush()
        self.assertEqual(self.read_until(master, b"GH\r\n"), b"GH\r\n")
        proc.stdin.close()
        self.assertEqual(proc.wait(10), 0)
        os.close(master)

    def test_usage_on_the_console(self):
        master, slave = self.terminal()
        proc = self.spawn([], subprocess.DEVNULL, slave, slave)
        os.close(slave)
        self.assertEqual(self.read_until(master, b"Messages.\r\n\r\n"), USAGE)
        self.assertEqual(proc.wait(10), 1)
        os.close(master)

    def test_console_input_reads_on_past_an_end_mark(self):
        keyboard, keyboard_slave = self.terminal()
        screen, screen_slave = self.terminal()
        proc = self.spawn(["GO"], keyboard_slave, screen_slave, subprocess.DEVNULL)
        os.close(keyboard_slave)
        os.close(screen_slave)
        # One block with a mark inside: the rest of that block goes, reading
        # goes on. A block that starts with the mark ends the input. Each
        # block waits for the line of the last on the screen, so that no two
        # are read as one.
        os.write(keyboard, b"ABCD\n\x1aZZ\n")
        self.assertEqual(self.read_until(screen, b"CD\r\n"), b"CD\r\n")
        os.write(keyboard, b"EFGH\n")
        self.assertEqual(self.read_until(screen, b"GH\r\n"), b"GH\r\n")
        os.write(keyboard, b"\x1aIJKL\n")
        self.assertEqual(proc.wait(10), 0)
        self.assertEqual(self.read_rest(screen), b"")  # nothing after the mark
        os.close(keyboard)
        os.close(screen)


class Launcher(Case):
    needs_windows = "the launcher is a Windows program"

    def launch(self, *args):
        done = subprocess.run(RUNNER + [LAUNCHER] + list(args), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=120)
        return done.returncode

    def test_one_handle_for_output_and_errors(self):
        in_path = self.files.path("in", b"ABCD\r\nEFGH\r\n")
        out_path = self.files.path("out")
        status = self.launch("shared", windows_path(in_path), windows_path(out_path),
                             windows_path(PROGRAM), "/D")
        # Closing standard output left the shared handle to the error stream.
        self.assertEqual((status, read_file(out_path)), (0, b"CD\r\nGH\r\n" + DEBUG))

    def test_no_standard_handles(self):
        program = windows_path(PROGRAM)
        self.assertEqual(self.launch("none", program, "/D"), 0)
        self.assertEqual(self.launch("none", program), 1)


def main():
    global PROGRAM, RUNNER, LAUNCHER, SANITIZED, USAGE
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--runner", default="")
    parser.add_argument("--launcher")
    parser.add_argument("--sanitized", action="store_true")
    parser.add_argument("--version", required=True, help="the project version")
    options, rest = parser.parse_known_args()
    PROGRAM = os.path.abspath(options.program)
    RUNNER = shlex.split(options.runner)
    LAUNCHER = options.launcher and os.path.abspath(options.launcher)
    SANITIZED = options.sanitized
    USAGE = b"ZOREZORU version %s\r\n" % options.version.encode() + USAGE_ROWS
    set_usage_cases()
    if RUNNER:
        works, why = runner_works()
        if not works:
            print("SKIPPED: %s cannot run %s here: %s" % (RUNNER[0], PROGRAM, why))
            sys.exit(SKIPPED)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
