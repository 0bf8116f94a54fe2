#!/usr/bin/env python3
"""Writes the seed inputs of the movie_open fuzz target: small native movie
files of versions 1, 2 and 3, built field by field.

Usage: make_seeds.py OUTPUT_DIRECTORY
"""
import os
import struct
import sys


def record(name, text):
    field = name.encode() + b"\0"
    field += b" " * (16 - len(field))
    value = text.encode() + b"\0"
    return field + struct.pack(">I", len(value)) + value


def raw_record(name, value):
    field = name.encode()[:16]
    if len(field) < 16:
        field += b"\0" + b" " * (15 - len(field))
    return field + struct.pack(">I", len(value)) + value


def v12(version, channels):
    """Two chunks, each 4 audio bytes (times the channels for version 1)
    then a 2 x 1 picture of 8 bytes."""
    header = bytearray(592)
    header[0:4] = b"MOVI"
    struct.pack_into(">Hhh", header, 4, version, 2, 1)
    struct.pack_into(">d", header, 16, 15.0)
    struct.pack_into(">H", header, 24, 1)
    struct.pack_into(">II", header, 28, 2, 2)
    struct.pack_into(">iii", header, 52, 0, 8000, 1)
    struct.pack_into(">i", header, 68, channels)
    audio = 4 * channels if version == 1 else 4
    chunk0 = 592 + 40
    chunk1 = chunk0 + audio + 8
    index = b"".join(struct.pack(">III8x", c, audio, 8) for c in (chunk0, chunk1))
    data = b"".join(bytes(range(16 * c, 16 * c + audio)) + bytes(range(0x80, 0x88)) for c in (0, 1))
    return bytes(header) + index + data


def v3(extra_movie=(), frame_records=()):
    movie = [record("TITLE", "Dawn"), record("LOOP_MODE", "1"), record("NUM_LOOPS", "2"),
             record("__NUM_A_TRACKS", "1"), record("__NUM_I_TRACKS", "1")] + list(extra_movie)
    audio = [record("SAMPLE_WIDTH", "2"), record("NUM_CHANNELS", "2"),
             record("SAMPLE_RATE", "8000.000000"), record("AUDIO_FORMAT", "401"),
             record("COMPRESSION", "100"), record("__DIR_COUNT", "1")]
    image = [record("WIDTH", "2"), record("HEIGHT", "2"), record("FPS", "15.000000"),
             record("COMPRESSION", "2"), record("PACKING", "1001"), record("ORIENTATION", "1101"),
             record("__DIR_COUNT", "2")]
    head = b"MOVI" + struct.pack(">I8xII", 3, len(movie), 0) + b"".join(movie)
    head += struct.pack(">III", 0, len(audio), 0) + b"".join(audio)
    head += struct.pack(">III", 0, len(image), 0) + b"".join(image)
    entries_size = 3 * 16 + sum(len(r) for r in frame_records)
    data_at = (len(head) + entries_size + 7) // 8 * 8
    entries = struct.pack(">IIII", data_at, 16, 0, 0)
    entries += struct.pack(">IIII", data_at + 16, 16, len(frame_records), 0) + b"".join(frame_records)
    entries += struct.pack(">IIII", data_at + 32, 16, 0, 0)
    body = head + entries
    body += b"\0" * (data_at - len(body))
    return body + bytes(range(48))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    seeds = {
        "v1_stereo.mv": v12(1, 2),
        "v2_mono.mv": v12(2, 1),
        "v3_basic.mv": v3(),
        "v3_user_params.mv": v3([record("DIRECTOR", "Smith"),
                                 raw_record("MV_NUMATRACKS", b"\0\0\0\1")],
                                [record("SCENE", "4")]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
