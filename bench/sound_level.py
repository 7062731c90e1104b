#!/usr/bin/python3
"""Level of a recorded tone: sound_level.py RAW prints the median level in dB of full scale and
the number of tenths of a second more than 3 dB under that median (breaks and cut gain), over
everything after the first two seconds. RAW is what SDL's disk driver wrote, in whatever sample
format the player opened: 32-bit float when the samples read so are all in [-1, 1], else 16-bit.
Windows are 9,600 samples (a tenth of a second of 48 kHz stereo)."""
import array
import math
import sys

data = open(sys.argv[1], "rb").read()
floats = array.array("f", data[: len(data) // 4 * 4])
if floats and all(math.isfinite(x) and abs(x) <= 1.0 for x in floats[::97]):
    samples = floats
else:
    samples = [x / 32768.0 for x in array.array("h", data[: len(data) // 2 * 2])]
window = 9600
levels = []
for start in range(0, len(samples) - window + 1, window):
    chunk = samples[start : start + window]
    rms = math.sqrt(sum(x * x for x in chunk) / window)
    levels.append(20 * math.log10(rms) if rms > 0 else -120.0)
levels = levels[20:]
if not levels:
    print("- -")
    sys.exit(0)
median = sorted(levels)[len(levels) // 2]
print("%.1f %d" % (median, sum(1 for v in levels if v < median - 3)))
