#!/usr/bin/env python3
"""make_sounds.py OUT_DIR: writes the program's own sounds as WAV files
(mono, 16-bit PCM, 22050 Hz), synthesised here from sine tones:

  roll.wav     the loop while the draw rolls: 1.5 s, a pulse of ticks over a
               low drone, every partial a whole number of cycles long, so the
               loop's end runs into its start without a click;
  sting.wav    the stop: a short rising chord with a quick decay (0.6 s);
  fanfare.wav  a prize complete: four brass-like notes and a held chord (2 s).

The same bytes on every run (no randomness, no time stamp)."""
import math
import os
import struct
import sys
import wave

RATE = 22050


def write(path, samples):
    """Samples in -1 .. 1, clipped, as 16-bit little-endian PCM."""
    data = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


def cycles_tone(freq, length):
    """The nearest frequency with a whole number of cycles in length samples."""
    return max(1, round(freq * length / RATE)) * RATE / length


def roll():
    length = int(RATE * 1.5)
    beats = 12  # ticks per loop: eight a second
    drone = [cycles_tone(f, length) for f in (110.0, 165.0, 220.0)]
    tick = cycles_tone(1760.0, length)
    out = []
    for n in range(length):
        t = n / RATE
        s = sum(0.12 * math.sin(2 * math.pi * f * t) for f in drone)
        # The drone swells twice a loop.
        s *= 0.75 + 0.25 * math.sin(2 * math.pi * 2 * n / length)
        phase = (n * beats % length) / length  # 0 .. 1 within a beat
        s += 0.35 * math.exp(-phase * 18) * math.sin(2 * math.pi * tick * t)
        out.append(s)
    return out


def sting():
    length = int(RATE * 0.6)
    notes = (523.25, 659.25, 783.99, 1046.5)
    out = []
    for n in range(length):
        t = n / RATE
        s = 0.0
        for i, f in enumerate(notes):
            start = i * 0.03
            if t >= start:
                u = t - start
                s += 0.22 * math.exp(-u * 6) * (math.sin(2 * math.pi * f * u) + 0.3 * math.sin(4 * math.pi * f * u))
        attack = min(1.0, n / (RATE * 0.005))
        release = min(1.0, (length - n) / (RATE * 0.05))
        out.append(s * attack * release)
    return out


def fanfare():
    length = int(RATE * 2.0)
    # (start, duration, frequencies) in seconds and hertz.
    notes = ((0.0, 0.18, (392.0,)), (0.2, 0.18, (523.25,)), (0.4, 0.18, (659.25,)),
             (0.6, 1.4, (783.99, 523.25, 659.25)))
    out = [0.0] * length
    for start, duration, freqs in notes:
        first = int(start * RATE)
        count = int(duration * RATE)
        for k in range(count):
            n = first + k
            if n >= length:
                break
            u = k / RATE
            envelope = min(1.0, u / 0.02) * min(1.0, (count - k) / (RATE * 0.08))
            for f in freqs:
                # A few odd and even harmonics: brass-like.
                tone = sum(math.sin(2 * math.pi * f * h * u) / h for h in (1, 2, 3, 4))
                out[n] += 0.12 * envelope * tone
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, make in (("roll", roll), ("sting", sting), ("fanfare", fanfare)):
        write(os.path.join(folder, name + ".wav"), make())


if __name__ == "__main__":
    main()
