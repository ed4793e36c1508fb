#!/usr/bin/env python3
"""Writes a Windows icon file (.ico) holding the given PNG images unchanged.

    make-ico.py <output.ico> <image.png>...

Windows Vista and later read PNG images inside an icon; each entry's size is taken from the
PNG's header (256 and more is written as 0, as the format wants).
"""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        sys.exit(f"{name}: not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        sys.exit(f"{name}: {width}x{height} does not fit in an icon (256x256 at most)")
    return width, height


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip())
    images = []
    for name in sys.argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        images.append((png_size(data, name), data))
    images.sort(key=lambda image: image[0])

    header = struct.pack("<HHH", 0, 1, len(images))  # reserved, type 1 = icon, count
    offset = len(header) + 16 * len(images)
    entries, bodies = b"", b""
    for (width, height), data in images:
        # width, height (0 = 256), colours (0 = no palette), reserved, planes, bits per pixel,
        # size of the image, where it starts
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(data), offset)
        bodies += data
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(header + entries + bodies)


if __name__ == "__main__":
    main()
