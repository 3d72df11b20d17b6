"""Checks a screenshot of the viewer's window.

check_shot.py SHOT FRAME X Y W H: the window's client area (below the menu bar)
shows FRAME stretched over it: nearly every pixel has one of FRAME's colours, and
FRAME's main colours are all there.
check_shot.py --differs SHOT OTHER X Y W H: the window area differs between the two.
"""
import sys

from PIL import Image


def window(path, x, y, w, h):
    return Image.open(path).convert("RGB").crop((x, y, x + w, y + h))


def main(argv):
    if argv[0] == "--differs":
        a = window(argv[1], *map(int, argv[3:7]))
        b = window(argv[2], *map(int, argv[3:7]))
        changed = sum(1 for p, q in zip(a.getdata(), b.getdata()) if p != q)
        print("changed pixels:", changed)
        return 0 if changed > a.width * a.height // 50 else 1
    shot = window(argv[0], *map(int, argv[2:6]))
    frame = Image.open(argv[1]).convert("RGB")
    want = {}
    for c in frame.getdata():
        want[c] = want.get(c, 0) + 1
    # The client area: skip the menu bar at the top (the rows before the first row that
    # is all frame colours).
    top = 0
    for y in range(shot.height // 3):
        row = [shot.getpixel((x, y)) for x in range(0, shot.width, 4)]
        if all(c in want for c in row):
            top = y
            break
    client = shot.crop((0, top, shot.width, shot.height))
    pixels = list(client.getdata())
    inside = sum(1 for c in pixels if c in want)
    share = inside / len(pixels)
    seen = set(pixels)
    main_colours = [c for c, n in want.items() if n > frame.width * frame.height // 400]
    missing = [c for c in main_colours if c not in seen]
    print("client area from row %d: %.1f%% of pixels in the frame's colours, %d of %d main colours missing"
          % (top, 100 * share, len(missing), len(main_colours)))
    return 0 if share > 0.97 and not missing else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
