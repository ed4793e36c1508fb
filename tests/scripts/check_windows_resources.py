#!/usr/bin/env python3
"""Checks the resources of a Windows program: the icon group 1, the application manifest and
the version information cmake/WindowsResources.cmake gives the player.

    check_windows_resources.py <program.exe> <version in four numbers> <version>

Prints what is missing or wrong and exits 1, else exits 0.
"""
import re
import struct
import sys

RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24


def resources(image):
    """{(type id, name id): data} of the PE image's resource section (named entries left out)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    rsrc_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    table = optional + optional_size
    for i in range(sections):
        _, size, rva, _, raw = struct.unpack_from("<8sIIII", image, table + 40 * i)
        if rva <= rsrc_rva < rva + size:
            base = raw + rsrc_rva - rva
            to_file = raw - rva
            break
    else:
        return {}

    def entries(offset):
        names, ids = struct.unpack_from("<12xHH", image, base + offset)
        for i in range(names + ids):
            name, target = struct.unpack_from("<II", image, base + offset + 16 + 8 * i)
            if not name & 0x80000000:
                yield name, target

    found = {}
    for type_id, names in entries(0):
        for name_id, languages in entries(names & 0x7FFFFFFF):
            for _, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", image, base + leaf)
                found[(type_id, name_id)] = image[to_file + rva:to_file + rva + size]
    return found


def main():
    program, version4, version = sys.argv[1:4]
    with open(program, "rb") as f:
        found = resources(f.read())
    faults = []
    if (RT_GROUP_ICON, 1) not in found:
        faults.append("no icon 1")
    manifest = found.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    for needed in ("Microsoft.Windows.Common-Controls", 'level="asInvoker"',
                   "<dpiAware", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"):
        if needed not in manifest:
            faults.append(f"manifest without {needed}")
    info = found.get((RT_VERSION, 1), b"")
    fixed = info.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        faults.append("no version information")
    else:
        ms, ls = struct.unpack_from("<II", info, fixed + 8)
        got = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
        if got != version4:
            faults.append(f"file version {got}, not {version4}")
        # String { length, value length, type, key, padding, value }: in UTF-16 the key and its
        # value are apart by zero words only.
        text = info[:len(info) & ~1].decode("utf-16-le", "replace")
        for key, value in (("FileDescription", "Wavlon"), ("ProductName", "Wavlon"),
                           ("OriginalFilename", "wavlon.exe"), ("FileVersion", version4),
                           ("ProductVersion", version)):
            if not re.search(f"{key}\0+{re.escape(value)}\0", text):
                faults.append(f"{key} is not {value}")
    for fault in faults:
        print(f"{program}: {fault}")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
