#!/usr/bin/env python3
"""Write a 16x16, 16-colour .ico from the text pixel map (icon.txt).

Usage: make_icon.py icon.txt out.ico
Standard library only; the output depends on the map alone, so it is byte-for-byte stable.
"""
import struct
import sys

SIZE = 16

# The classic Windows 16-colour palette; every map colour must be one of these.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]


def fail(msg):
    sys.exit("make_icon: " + msg)


def read_map(path):
    """Return (letter -> palette index or None for transparent, list of 16 rows)."""
    legend, rows = {}, []
    with open(path, encoding="ascii") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if line.startswith("#"):
                words = line[1:].split()
                if words[:1] == ["legend:"]:
                    if len(words) < 3 or len(words[1]) != 1:
                        fail("%s:%d: bad legend line" % (path, n))
                    ch, value = words[1], words[2]
                    if value == "transparent":
                        legend[ch] = None
                    else:
                        rgb = int(value, 16)
                        if rgb not in PALETTE:
                            fail("%s:%d: %s is not in the 16-colour palette" % (path, n, value))
                        legend[ch] = PALETTE.index(rgb)
            elif line.strip():
                if len(line) != SIZE:
                    fail("%s:%d: row must be %d characters" % (path, n, SIZE))
                for ch in line:
                    if ch not in legend:
                        fail("%s:%d: '%s' is not in the legend" % (path, n, ch))
                rows.append(line)
    if len(rows) != SIZE:
        fail("%s: need %d rows, found %d" % (path, SIZE, len(rows)))
    return legend, rows


def build_ico(legend, rows):
    xor_stride = SIZE // 2                 # 4 bits a pixel, 8 bytes: already a multiple of 4
    and_stride = ((SIZE + 31) // 32) * 4   # 1 bit a pixel, rows padded to 32 bits
    xor, mask = bytearray(), bytearray()
    for line in reversed(rows):            # DIBs are stored bottom-up
        row = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, ch in enumerate(line):
            index = legend[ch]
            if index is None:
                index = 0                  # transparent: black in XOR, set in AND
                bits[x // 8] |= 0x80 >> (x % 8)
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits

    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0)
                       for c in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)

    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def main(argv):
    if len(argv) != 3:
        fail("usage: make_icon.py icon.txt out.ico")
    legend, rows = read_map(argv[1])
    data = build_ico(legend, rows)
    with open(argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
