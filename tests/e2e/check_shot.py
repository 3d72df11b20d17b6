"""Checks a screenshot of the viewer's window.

check_shot.py SHOT FRAME X Y W H: the window's client area (below the menu bar)
shows FRAME stretched over it: nearly every pixel has one of FRAME's colours, and
FRAME's main colours are all there.
check_shot.py --differs SHOT OTHER X Y W H: the window area differs between the two.
check_shot.py --filled SHOT X Y W H: the window area has no black band (no row or
column of it more than half black).
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
    if argv[0] == "--filled":
        # A picture stretched into a stale, smaller rectangle leaves whole rows and
        # columns black; outlines in the picture never blacken half a row or column.
        area = window(argv[1], *map(int, argv[2:6]))
        px = area.load()
        black_rows = sum(1 for y in range(area.height)
                         if sum(px[x, y] == (0, 0, 0) for x in range(area.width)) * 2 > area.width)
        black_columns = sum(1 for x in range(area.width)
                            if sum(px[x, y] == (0, 0, 0) for y in range(area.height)) * 2 > area.height)
        print("rows more than half black: %d, columns: %d" % (black_rows, black_columns))
        return 0 if black_rows == 0 and black_columns == 0 else 1
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
