#!/usr/bin/env python3
"""Synthesises Lumek's heartbeat sounds: one "lub-dub" beat, two low sine
bursts with a fast decay, as 22,050 Hz 16-bit stereo PCM of 0.35 s.

  make_sounds.py OUTDIR   writes OUTDIR/heartbeat_left.wav (left channel
                          only), OUTDIR/heartbeat_center.wav (both channels
                          equal) and OUTDIR/heartbeat_right.wav (right
                          channel only)

The program starts a new beat every 500 ms or more, and starting a sound
cuts the one still playing, so a beat must end well inside half a second.
"""
import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050
LENGTH_S = 0.35
PEAK = 0.8 * 32767

# (start s, fundamental Hz, decay time constant s, loudness): the first
# sound of a heartbeat is the longer, lower and louder one.
BURSTS = (
    (0.000, 55.0, 0.045, 1.00),
    (0.160, 72.0, 0.030, 0.70),
)
ATTACK_S = 0.004        # a ramp instead of a step, or the onset clicks
OVERTONE = 0.35         # second harmonic, so small speakers still carry it


def beat_sample(t):
    total = 0.0
    for start, frequency, decay, loudness in BURSTS:
        local = t - start
        if local < 0:
            continue
        envelope = loudness * math.exp(-local / decay) * min(1.0, local / ATTACK_S)
        phase = 2 * math.pi * frequency * local
        total += envelope * (math.sin(phase) + OVERTONE * math.sin(2 * phase))
    return total / (1 + OVERTONE)


def beat():
    count = int(RATE * LENGTH_S)
    samples = [beat_sample(i / RATE) for i in range(count)]
    # Fade the last 10 ms so the file ends on silence whatever the decay left.
    fade = int(RATE * 0.010)
    for i in range(fade):
        samples[count - fade + i] *= 1 - (i + 1) / fade
    return samples


def write_stereo(path, samples, left_gain, right_gain):
    frames = bytearray()
    for s in samples:
        frames += struct.pack("<hh", round(s * left_gain * PEAK), round(s * right_gain * PEAK))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    outdir = Path(sys.argv[1])
    outdir.mkdir(parents=True, exist_ok=True)
    samples = beat()
    write_stereo(outdir / "heartbeat_left.wav", samples, 1.0, 0.0)
    write_stereo(outdir / "heartbeat_center.wav", samples, 1.0, 1.0)
    write_stereo(outdir / "heartbeat_right.wav", samples, 0.0, 1.0)


if __name__ == "__main__":
    main()
