#!/usr/bin/env python3
"""Checks a Windows program's icon 1, manifest and version information (the player's, from
cmake/WindowsResources.cmake); prints each fault and exits 1 when there is one.

    check_windows_resources.py <program.exe> <version in four numbers> <version>
"""
import re
import struct
import sys


def resources(image):
    """{(type id, name id): data} from the PE image's resource tree; named entries left out."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    rsrc = struct.unpack_from("<I", image, optional + 112 + 16)[0]  # PE32+: directory 2
    table = optional + optional_size
    for i in range(sections):
        _, size, rva, _, raw = struct.unpack_from("<8sIIII", image, table + 40 * i)
        if rva <= rsrc < rva + size:
            base, to_file = raw + rsrc - rva, raw - rva
            break
    else:
        return {}

    def entries(offset):
        names, ids = struct.unpack_from("<12xHH", image, base + (offset & 0x7FFFFFFF))
        for i in range(names, names + ids):
            yield struct.unpack_from("<II", image, base + (offset & 0x7FFFFFFF) + 16 + 8 * i)

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names):
            for _, leaf in entries(languages):
                rva, size = struct.unpack_from("<II", image, base + leaf)
                found[(kind, name)] = image[to_file + rva:to_file + rva + size]
    return found


program, version4, version = sys.argv[1:4]
with open(program, "rb") as f:
    found = resources(f.read())
faults = [] if (14, 1) in found else ["no icon group 1"]
manifest = found.get((24, 1), b"").decode("utf-8", "replace")
faults += [f"manifest without {needed}" for needed in (
    "Microsoft.Windows.Common-Controls", 'level="asInvoker"', "<dpiAware",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}") if needed not in manifest]
info = found.get((16, 1), b"")
fixed = info.find(struct.pack("<I", 0xFEEF04BD))
ms, ls = struct.unpack_from("<II", info, fixed + 8) if fixed >= 0 else (0, 0)
if f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}" != version4:
    faults.append(f"the fixed file version is not {version4}")
# In UTF-16 a String's key and its value are apart by zero words only.
text = info[:len(info) & ~1].decode("utf-16-le", "replace")
faults += [f"{key} is not {value}" for key, value in (
    ("FileDescription", "Wavlon"), ("ProductName", "Wavlon"), ("OriginalFilename", "wavlon.exe"),
    ("FileVersion", version4), ("ProductVersion", version))
    if not re.search(f"{key}\0+{re.escape(value)}\0", text)]
for fault in faults:
    print(f"{program}: {fault}")
sys.exit(1 if faults else 0)
