#!/usr/bin/env python3
"""Throughput of zorezoru against the tools one would use instead.

    bench/bench.py [--program build/zorezoru] [--runs 7] [--size-mib 64]

Corpora are generated from a fixed seed and cached in bench/cache/. Every
command reads a corpus file on standard input and writes into a pipe that
this script drains (never /dev/null: that is a character device, where the
tool rightly writes line by line). Commands run interleaved, after one
warm-up round; the table shows median wall time, MiB/s, and the ratio of
zorezoru's time to each peer's.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WORDS = ("the of and to in is was that for on as with by at from his it an were are which "
         "this be or has had not but been one new first their after who they two its also "
         "time into other more all year only over city when most some three school later "
         "world would such about there state between under during game made used while "
         "national where many each before through film since both known government").split()


def typical_lines(rng, size, end):
    out, total = [], 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(0, 14))).encode() + end
        out.append(line)
        total += len(line)
    return b"".join(out)[:size]


def short_lines(rng, size):
    letters = b"abcdefghijklmnopqrstuvwxyz"
    out, total = [], 0
    while total < size:
        line = bytes(rng.choice(letters) for _ in range(rng.randint(0, 4))) + b"\r\n"
        out.append(line)
        total += len(line)
    return b"".join(out)[:size]


def corpora(size):
    cache = os.path.join(HERE, "cache")
    os.makedirs(cache, exist_ok=True)
    makers = {
        "typical CR LF": lambda rng: typical_lines(rng, size, b"\r\n"),
        "LF-only": lambda rng: typical_lines(rng, size, b"\n"),
        "short lines": lambda rng: short_lines(rng, size),
        "one long line": lambda rng: (b"0123456789abcdef" * (size // 16 + 1))[:size],
    }
    paths = {}
    for name, make in makers.items():
        path = os.path.join(cache, "%s-%d.txt" % (name.replace(" ", "-"), size))
        if not os.path.exists(path):
            data = make(random.Random(20261211))
            with open(path + ".tmp", "wb") as f:
                f.write(data)
            os.replace(path + ".tmp", path)
        paths[name] = path
    return paths


def drain_time(cmd, path):
    """Wall time of `cmd < path` with its output drained from a pipe."""
    with open(path, "rb") as src:
        start = time.perf_counter()
        proc = subprocess.Popen(cmd, stdin=src, stdout=subprocess.PIPE)
        fd = proc.stdout.fileno()
        while os.read(fd, 1 << 20):
            pass
        proc.wait()
        elapsed = time.perf_counter() - start
        proc.stdout.close()
    if proc.returncode != 0:
        sys.exit("%s failed with status %d" % (cmd[0], proc.returncode))
    return elapsed


def peak_kib(cmd, path):
    with open(path, "rb") as src, tempfile.NamedTemporaryFile() as report:
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report.name] + cmd,
                                stdin=src, stdout=subprocess.PIPE)
        while os.read(proc.stdout.fileno(), 1 << 20):
            pass
        proc.wait()
        proc.stdout.close()
        return int(open(report.name).read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(HERE, "..", "build", "zorezoru"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--size-mib", type=int, default=64)
    parser.add_argument("--startup-runs", type=int, default=300)
    parser.add_argument("--corpus", action="append",
                        help="only this corpus (by name; may be given again)")
    parser.add_argument("--peer", action="append",
                        help="only this peer besides zorezoru (may be given again)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    awk = shutil.which("mawk") or shutil.which("awk")
    peers = {
        "zorezoru": [program, "GO"],
        "cut": ["cut", "-b3-"],
        "awk": [awk, "{print substr($0,3)}"],
        "sed": ["sed", "s/^..//"],
        "dd": ["dd", "bs=4096", "status=none"],
    }
    if args.peer:
        peers = {name: cmd for name, cmd in peers.items()
                 if name == "zorezoru" or name in args.peer}
    paths = corpora(args.size_mib << 20)
    if args.corpus:
        paths = {name: path for name, path in paths.items() if name in args.corpus}
    mib = args.size_mib

    print("machine: %s, %d cores; %d runs after a warm-up, %d MiB corpora\n"
          % (os.uname().machine, os.cpu_count(), args.runs, mib))
    print("| corpus | command | median s | MiB/s | zorezoru / command | peak KiB |")
    print("|---|---|---:|---:|---:|---:|")
    for corpus, path in paths.items():
        times = {name: [] for name in peers}
        for round_ in range(args.runs + 1):
            for name, cmd in peers.items():  # interleaved: A B C ... A B C ...
                t = drain_time(cmd, path)
                if round_ > 0:
                    times[name].append(t)
        ours = statistics.median(times["zorezoru"])
        for name, cmd in peers.items():
            median = statistics.median(times[name])
            print("| %s | %s | %.4f | %.0f | %.2f | %d |"
                  % (corpus, name, median, mib / median, ours / median, peak_kib(cmd, path)))

    with tempfile.NamedTemporaryFile(delete=False) as tiny:
        tiny.write(b"AB\r\n")
    startup = {"zorezoru": [program, "GO"], "cat": ["cat"]}
    times = {name: [] for name in startup}
    for _ in range(args.startup_runs):
        for name, cmd in startup.items():
            times[name].append(drain_time(cmd, tiny.name))
    os.unlink(tiny.name)
    ours, cat = statistics.median(times["zorezoru"]), statistics.median(times["cat"])
    print("\nstart-up on a 4-byte input: zorezoru %.2f ms, cat %.2f ms, ratio %.2f"
          % (ours * 1e3, cat * 1e3, ours / cat))


if __name__ == "__main__":
    main()
