#!/usr/bin/env python3
"""Writes the seed corpus of the vobsub fuzz target (fuzz/corpus/vobsub/): subpicture pieces
in the target's input form (see fuzz/vobsub_fuzz.cpp). Run it only to make the seeds again."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "fuzz", "corpus", "vobsub")


def head(flags, video_start, first_pts_min, disk_kib=0):
    return bytes([flags]) + struct.pack("<II", video_start, first_pts_min) + bytes([disk_kib])


def piece(data, packet_start=False, pts=None):
    """One piece of at most 55 bytes, or of 64 << k bytes."""
    n = len(data)
    if n <= 55:
        code = n
    else:
        k = {64 << i: i for i in range(8)}[n]
        code = 56 + k
    out = bytes([code << 2 | (2 if pts is not None else 0) | (1 if packet_start else 0)])
    if pts is not None:
        out += struct.pack("<I", pts)
    return out + data


def two_bit_unit(size, fill):
    return struct.pack(">HH", size, size - 4) + bytes([fill]) * (size - 4)


def extended_unit(size, fill):
    return b"\0\0" + struct.pack(">II", size, size - 8) + bytes([fill]) * (size - 10)


def packets(unit, pts, cut=50):
    """The unit as packets of `cut` bytes, the first with the PTS; each packet as pieces of
    the lengths the target's length code can give."""
    out = b""
    for at in range(0, len(unit), cut):
        packet = unit[at:at + cut]
        first = True
        while packet:
            n = len(packet)
            fits = [64 << i for i in range(8) if 64 << i <= n]
            take = fits[-1] if fits else min(n, 55)
            out += piece(packet[:take], first, pts if at == 0 and first else None)
            packet = packet[take:]
            first = False
    return out


seeds = {
    "two_bit_units": head(1 | 8, 90000, 90000)
    + packets(two_bit_unit(40, 0x11), 90000 + 90 * 1000)
    + packets(two_bit_unit(2100, 0x22), 90000 + 90 * 3000, 512)
    + packets(two_bit_unit(30, 0x33), 90000 + 90 * 5000, 7),
    "extended_first": head(1 | 2, 1000, 500)
    + packets(extended_unit(300, 0x44), 5000, 16)
    + packets(two_bit_unit(20, 0x55), 9000),
    "damaged": head(1 | 3 << 3, 50000, 40000)
    + piece(b"\x12\x34\x56", True)  # no PTS: a cut-off tail
    + packets(two_bit_unit(200, 0x66)[:120], 60000)  # interrupted by the next PTS
    + packets(two_bit_unit(60, 0x77), 1000)  # before the video
    + packets(extended_unit(40, 0x88), 70000)  # 8-bit amid 2-bit
    + packets(two_bit_unit(90, 0x99)[:30], 80000),  # cut off by the end
    "full_disk": head(1 | 4, 0, 0, 2) + packets(two_bit_unit(3000, 0xAA), 100, 1024),
}
os.makedirs(OUT, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
