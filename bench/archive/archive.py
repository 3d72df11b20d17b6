#!/usr/bin/env python3
"""Checking a whole archive: 2,000 small FLIC and PCX files (a few KB each, copies of the
small samples in nested folders) checked by one `moxflic-export --check FOLDER` run, next
to a shell loop that runs `moxflic-export --check FILE` once per file (timed on a sample
of the files and scaled up, since the whole loop takes long). Best of a few runs.

Usage: bench/archive/archive.py BUILD_DIR [FILES]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SMALL = ["bullet-14x14.flc", "text-321x74.flc", "tiny-3x3-4plane.pcx", "testcard-160x120-1bit.pcx",
         "testcard-160x120-8bit.pcx", "testcard-160x120-24bit.pcx"]
RUNS = 3
LOOP_SAMPLE = 200


def make_archive(root, count, samples):
    paths = []
    for n in range(count):
        folder = os.path.join(root, f"set{n // 100:02d}", f"disk{n // 10 % 10}")
        os.makedirs(folder, exist_ok=True)
        source = os.path.join(samples, SMALL[n % len(SMALL)])
        path = os.path.join(folder, f"file{n:04d}" + os.path.splitext(source)[1])
        shutil.copyfile(source, path)
        paths.append(path)
    return paths


def best(runs, command):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__.strip())
    program = os.path.join(sys.argv[1], "converter", "moxflic-export")
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 2000
    samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "data")
    root = tempfile.mkdtemp(prefix="moxflic-archive-")
    try:
        paths = make_archive(root, count, samples)
        size = sum(os.path.getsize(p) for p in paths)
        print(f"{count} files, {size / count / 1024:.1f} KB each on average, {os.cpu_count()} processors")
        for jobs in (None, 1):
            command = [program, "--check", root] + ([] if jobs is None else ["--jobs", str(jobs)])
            label = "one run, --jobs " + (str(jobs) if jobs else "default")
            print(f"{label:34} {best(RUNS, command):8.2f} s", flush=True)
        sample = paths[:LOOP_SAMPLE]
        script = 'for f in "$@"; do "$0" --check "$f"; done'
        loop = best(1, ["sh", "-c", script, program] + sample) * count / len(sample)
        print(f"{'a shell loop, one run a file':34} {loop:8.2f} s (from {len(sample)} files)")
    finally:
        shutil.rmtree(root)


if __name__ == "__main__":
    main()
