#!/usr/bin/env bash
# Writes the benchmarks' track: a stereo chord encoded at 192 kbit/s, to <out.mp3>.
#   bench/make_bench_track.sh <out.mp3> [seconds]   (default 60)
set -eu
out=$1
seconds=${2:-60}
wav="${out%.mp3}.wav"
# A stereo chord, so the encoder and decoder have real work at 192 kbit/s.
python3 - "$wav" "$seconds" <<'EOF'
import math, struct, sys
rate, seconds = 44100, int(sys.argv[2])
with open(sys.argv[1], "wb") as f:
    n = rate * seconds
    f.write(b"RIFF" + struct.pack("<I", 36 + n * 4) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" +
            struct.pack("<I", n * 4))
    frames = bytearray()
    for i in range(n):
        t = i / rate
        left = int(6000 * (math.sin(2 * math.pi * 440 * t) + math.sin(2 * math.pi * 554 * t)))
        right = int(6000 * (math.sin(2 * math.pi * 659 * t) + math.sin(2 * math.pi * 330 * t)))
        frames += struct.pack("<hh", left, right)
    f.write(frames)
EOF
lame --quiet -b 192 "$wav" "$out"
rm -f "$wav"
