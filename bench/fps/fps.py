#!/usr/bin/env python3
"""Frames per second of the decoder, through `moxflic-export --check`, next to ffmpeg's
single-thread decode of the same files.

Usage: bench/fps/fps.py BUILD_DIR   (or: cmake --build BUILD_DIR --target fps)
"""
import os
import re
import subprocess
import sys
import tempfile

SAMPLES = ["dance-640x480.flc", "cycle-320x200.fli", "walk-320x200.fli"]
MADE = ["run-delta-640x480.flc", "byte-delta-320x200.fli", "colours-640x480.flc"]
OUR_RUNS = 5        # best of these --check runs
FFMPEG_PASSES = 20  # -stream_loop 19


def our_fps(program, path):
    best = None
    frames = 0
    for _ in range(OUR_RUNS):
        out = subprocess.run([program, "--check", path], capture_output=True, text=True)
        if out.returncode != 0:
            raise SystemExit(f"{path}: --check failed: {out.stderr.strip()}")
        facts = dict(line.split(": ", 1) for line in out.stdout.splitlines() if ": " in line)
        frames = int(facts["frames"])
        seconds = float(facts["decode_seconds"])
        best = seconds if best is None else min(best, seconds)
    return frames, best


def ffmpeg_fps(path):
    cmd = ["ffmpeg", "-nostdin", "-nostats", "-threads", "1", "-benchmark",
           "-stream_loop", str(FFMPEG_PASSES - 1), "-i", path, "-f", "null", "-"]
    try:
        out = subprocess.run(cmd, capture_output=True, text=True)
    except FileNotFoundError:
        return None, None
    frames = re.findall(r"frame=\s*(\d+)", out.stderr)
    utime = re.search(r"bench: utime=([\d.]+)s", out.stderr)
    if out.returncode != 0 or not frames or not utime:
        return None, None
    return int(frames[-1]), float(utime.group(1))


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__.strip())
    build = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    samples = os.path.join(here, "..", "..", "tests", "data")
    program = os.path.join(build, "tools", "export", "moxflic-export")
    maker = os.path.join(build, "bench", "fps", "make_fps_files")
    work = tempfile.mkdtemp(prefix="moxflic-fps-")
    subprocess.run([maker, work], check=True, stdout=subprocess.DEVNULL)
    files = [os.path.join(samples, f) for f in SAMPLES] + [os.path.join(work, f) for f in MADE]

    print(f"{'file':26} {'frames':>7} {'ours fps':>10} {'ffmpeg fps':>11} {'ratio':>7}")
    for path in files:
        frames, seconds = our_fps(program, path)
        ours = frames / seconds if seconds > 0 else float("inf")
        ff_frames, ff_seconds = ffmpeg_fps(path)
        if ff_frames and ff_seconds:
            theirs = ff_frames / ff_seconds
            print(f"{os.path.basename(path):26} {frames:7d} {ours:10.0f} {theirs:11.0f} {ours / theirs:7.2f}")
        else:
            print(f"{os.path.basename(path):26} {frames:7d} {ours:10.0f} {'-':>11} {'-':>7}")
    for f in MADE:
        os.remove(os.path.join(work, f))
    os.rmdir(work)


if __name__ == "__main__":
    main()
