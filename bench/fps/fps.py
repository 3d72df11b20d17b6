#!/usr/bin/env python3
"""Frames per second of the decoder, through `moxflic-export --check`, next to ffmpeg's
single-thread decode of the same files (its user plus system time). Each side is the best
of a few runs, taken in turns so that both see the same load on a shared machine; ratio is
ffmpeg's time over ours (above 1: we are faster).

Usage: bench/fps/fps.py BUILD_DIR [RUNS] [--before PROGRAM] [--only WORD]
  (or: cmake --build BUILD_DIR --target fps)
--before PROGRAM also times another moxflic-export (an earlier build) in the same turns,
and gives its ratio to ffmpeg beside ours. --only WORD times only the files whose names
hold WORD.
"""
import os
import re
import subprocess
import sys
import tempfile

SAMPLES = ["dance-640x480.flc", "cycle-320x200.fli", "walk-320x200.fli"]
MADE = ["run-delta-640x480.flc", "byte-delta-320x200.fli", "colours-640x480.flc", "scroll-640x480.flc",
        "cycle-640x480.flc", "fade-640x480.flc", "raw-640x480.flc"]
RUNS = 3            # best of these runs on each side
OUR_PASSES = 5      # --check runs per run, the best taken
FFMPEG_PASSES = 20  # -stream_loop 19


def our_fps(program, path):
    frames, seconds = 0, None
    for _ in range(OUR_PASSES):
        out = subprocess.run([program, "--check", path], capture_output=True, text=True)
        if out.returncode != 0:
            raise SystemExit(f"{path}: --check failed: {out.stderr.strip()}")
        facts = dict(line.split(": ", 1) for line in out.stdout.splitlines() if ": " in line)
        # Every record decoded, the ring frame included (older builds count it as a frame).
        frames = int(facts.get("records", facts["frames"]))
        seconds = min(seconds or float("inf"), float(facts["decode_seconds"]))
    return frames, seconds


def ffmpeg_fps(path):
    cmd = ["ffmpeg", "-nostdin", "-nostats", "-threads", "1", "-benchmark",
           "-stream_loop", str(FFMPEG_PASSES - 1), "-i", path, "-f", "null", "-"]
    try:
        out = subprocess.run(cmd, capture_output=True, text=True)
    except FileNotFoundError:
        return None, None
    frames = re.findall(r"frame=\s*(\d+)", out.stderr)
    times = re.search(r"bench: utime=([\d.]+)s stime=([\d.]+)s", out.stderr)
    if out.returncode != 0 or not frames or not times:
        return None, None
    return int(frames[-1]), float(times.group(1)) + float(times.group(2))


def main():
    args = sys.argv[1:]
    options = {}
    for name in ("--before", "--only"):
        if name in args:
            at = args.index(name)
            if at + 1 >= len(args):
                raise SystemExit(__doc__.strip())
            options[name] = args[at + 1]
            del args[at:at + 2]
    before, only = options.get("--before"), options.get("--only")
    if len(args) not in (1, 2):
        raise SystemExit(__doc__.strip())
    build = args[0]
    runs = int(args[1]) if len(args) == 2 else RUNS
    here = os.path.dirname(os.path.abspath(__file__))
    samples = os.path.join(here, "..", "..", "tests", "data")
    program = os.path.join(build, "converter", "moxflic-export")
    maker = os.path.join(build, "bench", "fps", "make_fps_files")
    work = tempfile.mkdtemp(prefix="moxflic-fps-")
    subprocess.run([maker, work], check=True, stdout=subprocess.DEVNULL)
    files = [os.path.join(samples, f) for f in SAMPLES] + [os.path.join(work, f) for f in MADE]
    files = [f for f in files if only is None or only in os.path.basename(f)]

    print(f"{'file':26} {'frames':>7} {'ours fps':>10} {'ffmpeg fps':>11} {'ratio':>7}" +
          (f" {'before':>7}" if before else ""))
    for path in files:
        ours_best, theirs_best, before_best = None, None, None
        for _ in range(runs):  # in turns, so that a burst of load falls on all sides
            if before:
                old = our_fps(before, path)
                if before_best is None or old[1] < before_best[1]:
                    before_best = old
            mine = our_fps(program, path)
            if ours_best is None or mine[1] < ours_best[1]:
                ours_best = mine
            theirs = ffmpeg_fps(path)
            if theirs[0] and (theirs_best is None or theirs[1] < theirs_best[1]):
                theirs_best = theirs
        frames, seconds = ours_best
        ours = frames / seconds if seconds > 0 else float("inf")
        ff_frames, ff_seconds = theirs_best if theirs_best else (None, None)
        if ff_frames and ff_seconds:
            theirs = ff_frames / ff_seconds
            line = f"{os.path.basename(path):26} {frames:7d} {ours:10.0f} {theirs:11.0f} {ours / theirs:7.2f}"
            if before_best:
                old_fps = before_best[0] / before_best[1] if before_best[1] > 0 else float("inf")
                line += f" {old_fps / theirs:7.2f}"
            print(line, flush=True)
        else:
            print(f"{os.path.basename(path):26} {frames:7d} {ours:10.0f} {'-':>11} {'-':>7}", flush=True)
    for f in MADE:
        os.remove(os.path.join(work, f))
    os.rmdir(work)


if __name__ == "__main__":
    main()
