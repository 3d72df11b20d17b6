# Writes a picture's pixels as raw RGB triples (row by row) as Pillow decodes them.
# Usage: oracle_rgb.py picture.pcx output.rgb
import sys

from PIL import Image

with Image.open(sys.argv[1]) as im:
    data = im.convert("RGB").tobytes()
with open(sys.argv[2], "wb") as out:
    out.write(data)
