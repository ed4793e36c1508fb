#!/usr/bin/env python3
"""Encodes the MP3 test files of mp3_fixtures.cpp with lame, for test programs that cannot run
the encoder themselves (the Windows build's, under wine). Same names, sounds and options as the
recipes there; made once per folder.
    make_mp3_fixtures.py <folder>"""
import math
import os
import random
import struct
import subprocess
import sys

# name, seconds, rate, channels, sound, lame options
RECIPES = [
    ("cbr", 10, 44100, 2, "sine", ["-t", "-b", "128"]),
    ("vbr", 10, 44100, 2, "sine", ["-V", "2"]),
    ("mono", 6, 44100, 1, "sine", ["-V", "4"]),
    ("short", 3, 44100, 2, "sine", ["-b", "128"]),
    ("long", 20 * 60, 22050, 1, "silence", ["-t", "-b", "32"]),
    ("falling", 6, 44100, 2, "loud_then_silent", ["-t", "-V", "0"]),
]


def samples(seconds, rate, sound):
    frames = seconds * rate
    if sound == "silence":
        return bytes(frames * 2)
    noise = random.Random(20240607)
    out = bytearray()
    for i in range(frames):
        if sound == "sine":
            value = int(8000 * math.sin(2 * math.pi * 440 * i / rate))
        else:
            value = noise.randint(-20000, 20000) if i < rate // 2 else 0
        out += struct.pack("<h", value)
    return bytes(out)


def wav(seconds, rate, channels, sound):
    mono = samples(seconds, rate, sound)
    data = mono if channels == 1 else b"".join(mono[i:i + 2] * channels
                                               for i in range(0, len(mono), 2))
    block = channels * 2
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt "
    header += struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * block, block, 16)
    return header + b"data" + struct.pack("<I", len(data)) + data


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, seconds, rate, channels, sound, options in RECIPES:
        mp3 = os.path.join(folder, name + ".mp3")
        if os.path.exists(mp3):
            continue
        source = os.path.join(folder, name + ".wav")
        with open(source, "wb") as out:
            out.write(wav(seconds, rate, channels, sound))
        subprocess.run(["lame", "--quiet", *options, source, mp3 + ".part"], check=True)
        os.replace(mp3 + ".part", mp3)
        os.remove(source)


if __name__ == "__main__":
    main()
