#!/usr/bin/env python3
"""Write the program's icons from their text pixel maps.

Usage: make_icon.py icon.txt out.ico [badge.txt]
out.ico is the 16-colour program icon, drawn on 16x16 pixels and scaled
without blending to each size the caption and the notification area ask for
up to 144 dpi, so that Windows never stretches one. With a badge map, each of
its fill lines also gives out-NAME.ico: the icon with the badge in its
bottom-right corner, 16 colours too, the fill colour exactly in place of one
the icon does not use.
Standard library only; the output depends on the maps alone, so it is
byte-for-byte stable.
"""
import os
import struct
import sys

SIZE = 16  # of the pixel maps
SIZES = (16, 20, 24, 32, 48)

# The classic Windows 16-colour palette; every icon map colour must be one of these.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]
FILL = "fill"


def fail(msg):
    sys.exit("make_icon: " + msg)


def read_map(path, width=None, palette=True):
    """Return (legend: letter -> RGB, None for transparent or FILL; fills: [(name, RGB)]; rows)."""
    legend, fills, rows = {}, [], []
    with open(path, encoding="ascii") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if line.startswith("#"):
                words = line[1:].split()
                if words[:1] == ["legend:"]:
                    if len(words) < 3 or len(words[1]) != 1:
                        fail("%s:%d: bad legend line" % (path, n))
                    ch, value = words[1], words[2]
                    if value in ("transparent", FILL):
                        legend[ch] = None if value == "transparent" else FILL
                    else:
                        rgb = int(value, 16)
                        if palette and rgb not in PALETTE:
                            fail("%s:%d: %s is not in the 16-colour palette" % (path, n, value))
                        legend[ch] = rgb
                elif words[:1] == ["fill:"]:
                    if len(words) < 3:
                        fail("%s:%d: bad fill line" % (path, n))
                    fills.append((words[1], int(words[2], 16)))
            elif line.strip():
                if len(line) != (width or len(line)) or (rows and len(line) != len(rows[0])):
                    fail("%s:%d: rows must all be %d characters" % (path, n, width or len(rows[0])))
                for ch in line:
                    if ch not in legend:
                        fail("%s:%d: '%s' is not in the legend" % (path, n, ch))
                rows.append(line)
    if width and len(rows) != width:
        fail("%s: need %d rows, found %d" % (path, width, len(rows)))
    return legend, fills, rows


def scaled(pixels, size):
    """The pixels at size x size, each taken from the map's pixel under its
    centre; the halves mirror each other, so a symmetric picture stays so."""
    half = [(2 * i + 1) * SIZE // (2 * size) for i in range(size // 2)]
    pick = half + [SIZE - 1 - i for i in reversed(half)]
    return [[pixels[y][x] for x in pick] for y in pick]


def ico_file(build, pixels, colours, bits):
    """An icon file of one image a size, each made by build from the scaled pixels."""
    images = [build(scaled(pixels, size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def and_mask(pixels):
    """1 bit a pixel, set where transparent; rows bottom-up, padded to 32 bits."""
    stride = ((len(pixels) + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, rgb in enumerate(row):
            if rgb is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return mask


def image4(pixels, palette=PALETTE):
    """A 16-colour image: 4 bits a pixel, an index into the palette."""
    size = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):                  # DIBs are stored bottom-up
        line = bytearray(((size + 7) // 8) * 4)   # 4 bits a pixel, rows padded to 32 bits
        for x, rgb in enumerate(row):
            index = 0 if rgb is None else palette.index(rgb)  # transparent: black in XOR, set in AND
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    mask = and_mask(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    colours = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0)
                       for c in palette)
    return header + colours + bytes(xor) + bytes(mask)


def with_colour(pixels, rgb):
    """The palette with rgb in place of the first colour the pixels do not use."""
    if rgb in PALETTE:
        return PALETTE
    used = {value for row in pixels for value in row}
    free = next(i for i, c in enumerate(PALETTE) if c not in used)
    return PALETTE[:free] + [rgb] + PALETTE[free + 1:]


def badged(pixels, legend, rows, fill):
    """The icon's pixels with the badge over its bottom-right corner."""
    out = [list(row) for row in pixels]
    top, left = SIZE - len(rows), SIZE - len(rows[0])
    for y, line in enumerate(rows):
        for x, ch in enumerate(line):
            value = legend[ch]
            if value is not None:
                out[top + y][left + x] = fill if value == FILL else value
    return out


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) not in (3, 4):
        fail("usage: make_icon.py icon.txt out.ico [badge.txt]")
    legend, _, rows = read_map(argv[1], SIZE)
    pixels = [[legend[ch] for ch in line] for line in rows]
    write(argv[2], ico_file(image4, pixels, 16, 4))
    if len(argv) == 4:
        badge_legend, fills, badge_rows = read_map(argv[3])
        if not fills or not badge_rows or len(badge_rows) > SIZE or len(badge_rows[0]) > SIZE:
            fail("%s: need fill lines and a badge of at most %d pixels a side" % (argv[3], SIZE))
        stem = os.path.splitext(argv[2])[0]
        for name, rgb in fills:
            palette = with_colour(pixels, rgb)
            write("%s-%s.ico" % (stem, name),
                  ico_file(lambda p: image4(p, palette), badged(pixels, badge_legend, badge_rows, rgb), 16, 4))


if __name__ == "__main__":
    main(sys.argv)
