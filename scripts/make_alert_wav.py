#!/usr/bin/env python3
"""Writes src/resources/Alert.wav, the default alarm sound: two rising
two-tone chirps, 16-bit mono PCM at 16 kHz, about 0.8 s (some 26 KB).

Usage: scripts/make_alert_wav.py [output path]
"""
import math
import os
import struct
import sys
import wave

RATE = 16000
VOLUME = 0.6 * 32767
FADE = 0.008  # seconds of fade at both ends of a tone, so it does not click


def tone(frequency, seconds):
    count = int(RATE * seconds)
    fade = int(RATE * FADE)
    samples = []
    for i in range(count):
        envelope = min(1.0, i / fade, (count - 1 - i) / fade)
        value = math.sin(2 * math.pi * frequency * i / RATE)
        # a touch of the octave makes the tone cut through background noise
        value = 0.8 * value + 0.2 * math.sin(4 * math.pi * frequency * i / RATE)
        samples.append(int(VOLUME * envelope * value))
    return samples


def silence(seconds):
    return [0] * int(RATE * seconds)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "src", "resources", "Alert.wav")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    samples = []
    for _ in range(2):
        samples += tone(880, 0.14) + silence(0.03) + tone(1320, 0.18) + silence(0.06)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples))


if __name__ == "__main__":
    main()
