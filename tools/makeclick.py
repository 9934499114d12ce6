#!/usr/bin/env python3
"""Writes resources/click.wav: the press click, 1,258 samples of 16-bit mono PCM at 22,050 Hz.

A 2.2 kHz tone with a sharp attack and an exponential decay, then a LIST/INFO chunk that brings
the file to 6,504 bytes. Deterministic, so the committed file can be checked against it.
Usage: tools/makeclick.py [output]
"""
import math
import struct
import sys

RATE = 22050
SAMPLES = 1258
TOTAL = 6504


def samples():
    for n in range(SAMPLES):
        t = n / RATE
        envelope = math.exp(-t / 0.008) * min(1.0, n / 12)
        yield int(round(20000 * envelope * math.sin(2 * math.pi * 2200 * t)))


def wave():
    data = b"".join(struct.pack("<h", s) for s in samples())
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    comment_size = TOTAL - 8 - len(body) - 8 - 4 - 8
    comment = b"Kelo# click".ljust(comment_size, b"\0")
    info = b"INFO" + b"ICMT" + struct.pack("<I", len(comment)) + comment
    body += b"LIST" + struct.pack("<I", len(info)) + info
    out = b"RIFF" + struct.pack("<I", len(body)) + body
    assert len(out) == TOTAL and len(data) == 2516
    return out


if __name__ == "__main__":
    path = sys.argv[1] if len(sys.argv) > 1 else "resources/click.wav"
    with open(path, "wb") as f:
        f.write(wave())
