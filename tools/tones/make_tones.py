#!/usr/bin/env python3
"""Writes the three tones of the telephone, always byte for byte the same.

  wavedial.wav  16000 Hz mono, 96000 data bytes: the dial tone heard while
                calling out: two soft pulses of a warm A-major third, once
                every 3 seconds as it loops.
  wavering.wav  22050 Hz mono, 150714 data bytes: the ring of an incoming
                call: a marimba-like rising E-major arpeggio, played twice.
  wavetest.wav  16000 Hz mono, 73096 data bytes: the speaker test: a bell
                chime climbing C, E, G, C.

Usage: make_tones.py [OUTPUT_DIR]   (default: resources/tones of the tree)
"""
import math
import os
import struct
import sys


def raised_cosine(t, length):
    """0..1 over `length` seconds."""
    if t >= length:
        return 1.0
    return 0.5 - 0.5 * math.cos(math.pi * t / length)


def dial_tone(rate, count):
    out = [0.0] * count
    pulse, gap, fade = 0.40, 0.20, 0.03
    for start in (0.0, pulse + gap):
        for i in range(int(pulse * rate)):
            t = i / rate
            env = raised_cosine(t, fade) * raised_cosine(pulse - t, fade)
            s = 0.55 * math.sin(2 * math.pi * 440.0 * t) + 0.45 * math.sin(2 * math.pi * 554.37 * t)
            out[int(start * rate) + i] += 0.30 * env * s
    return out


def struck_note(out, rate, start, freq, partials, decay, level):
    """A mallet or bell note: quick attack, exponential decay, a few partials."""
    first = int(start * rate)
    length = min(len(out) - first, int(decay * 6 * rate))
    for i in range(length):
        t = i / rate
        env = raised_cosine(t, 0.004) * math.exp(-t / decay)
        s = 0.0
        for ratio, weight, speed in partials:
            s += weight * math.exp(-t * speed) * math.sin(2 * math.pi * freq * ratio * t)
        out[first + i] += level * env * s


def ring_tone(rate, count):
    out = [0.0] * count
    notes = (659.26, 830.61, 987.77, 1318.51)  # E5 G#5 B5 E6
    marimba = ((1.0, 1.0, 0.0), (3.93, 0.35, 12.0), (9.2, 0.08, 30.0))
    for phrase in (0.0, 1.0):
        for k, freq in enumerate(notes):
            struck_note(out, rate, phrase + 0.12 * k, freq, marimba, 0.22, 0.22)
    return out


def test_tone(rate, count):
    out = [0.0] * count
    notes = (523.25, 659.26, 783.99, 1046.50)  # C5 E5 G5 C6
    bell = ((1.0, 1.0, 0.0), (2.0, 0.4, 3.0), (3.01, 0.2, 6.0))
    for k, freq in enumerate(notes):
        struck_note(out, rate, 0.28 * k, freq, bell, 0.35, 0.25)
    return out


def to_wav(samples, rate):
    pcm = bytearray()
    for x in samples:
        v = int(round(max(-1.0, min(1.0, x)) * 32767))
        pcm += struct.pack("<h", v)
    header = b"RIFF" + struct.pack("<I", 36 + len(pcm)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(pcm))
    return header + bytes(pcm)


TONES = (
    ("wavedial.wav", 16000, 96000, dial_tone),
    ("wavering.wav", 22050, 150714, ring_tone),
    ("wavetest.wav", 16000, 73096, test_tone),
)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "tones")
    os.makedirs(out_dir, exist_ok=True)
    for name, rate, data_bytes, make in TONES:
        samples = make(rate, data_bytes // 2)
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(to_wav(samples, rate))
        print(f"{path}: {rate} Hz mono, {data_bytes} data bytes")


if __name__ == "__main__":
    main()
