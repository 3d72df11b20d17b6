#!/usr/bin/env python3
"""GIF export time and size, moxflic-export (default colours and --palette=file) next to
ffmpeg's single-thread GIF encoding of the same files: user plus system time, best of a
few runs taken in turns so that all sides see the same load.

Usage: bench/gif/gif.py BUILD_DIR [RUNS] [--before PROGRAM] [--only WORD]
--before PROGRAM times another moxflic-export (an earlier build) in the same turns.
"""
import os
import resource
import subprocess
import sys
import tempfile

SAMPLES = ["dance-640x480.flc", "cycle-320x200.fli", "walk-320x200.fli"]
MADE = ["run-delta-640x480.flc", "byte-delta-320x200.fli", "colours-640x480.flc", "scroll-640x480.flc",
        "cycle-640x480.flc", "fade-640x480.flc", "raw-640x480.flc"]
RUNS = 3


def timed(cmd, out):
    """User plus system seconds of a command and the size of what it wrote."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    result = subprocess.run(cmd, capture_output=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(cmd)} failed: {result.stderr.decode(errors='replace').strip()}")
    seconds = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return seconds, os.path.getsize(out)


def main():
    args = sys.argv[1:]
    options = {}
    for name in ("--before", "--only"):
        if name in args:
            at = args.index(name)
            options[name] = args[at + 1]
            del args[at:at + 2]
    if len(args) not in (1, 2):
        raise SystemExit(__doc__.strip())
    build, runs = args[0], int(args[1]) if len(args) == 2 else RUNS
    here = os.path.dirname(os.path.abspath(__file__))
    samples = os.path.join(here, "..", "..", "tests", "data")
    program = os.path.join(build, "converter", "moxflic-export")
    maker = os.path.join(build, "bench", "fps", "make_fps_files")
    work = tempfile.mkdtemp(prefix="moxflic-gif-")
    subprocess.run([maker, work], check=True, stdout=subprocess.DEVNULL)
    files = [os.path.join(samples, f) for f in SAMPLES] + [os.path.join(work, f) for f in MADE]
    files = [f for f in files if options.get("--only") is None or options["--only"] in os.path.basename(f)]
    out = os.path.join(work, "out.gif")
    sides = [("ours", [program]), ("ours file", [program, "--palette=file"])]
    if "--before" in options:
        sides += [("before", [options["--before"]]), ("before file", [options["--before"], "--palette=file"])]
    print(f"{'file':24}" + "".join(f" {name + ' s':>12} {'size':>9}" for name, _ in sides) +
          f" {'ffmpeg s':>9} {'size':>9}")
    for path in files:
        best = {}
        for _ in range(runs):
            for name, cmd in sides:
                t = timed(cmd + [path, out], out)
                best[name] = min(best.get(name, t), t)
            t = timed(["ffmpeg", "-v", "error", "-y", "-threads", "1", "-i", path, out], out)
            best["ffmpeg"] = min(best.get("ffmpeg", t), t)
        line = f"{os.path.basename(path):24}"
        for name, _ in sides + [("ffmpeg", None)]:
            width = 9 if name == "ffmpeg" else 12
            line += f" {best[name][0]:{width}.2f} {best[name][1]:9d}"
        print(line, flush=True)
    for f in os.listdir(work):
        os.remove(os.path.join(work, f))
    os.rmdir(work)


if __name__ == "__main__":
    main()
