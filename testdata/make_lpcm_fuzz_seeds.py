#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_lpcm (fuzz/lpcm_fuzz.cpp) into the folder given (by default
fuzz/corpus/lpcm): DVD-Video and DVD-Audio LPCM packets in the target's input form, with sound
headers, format changes, reserved codes and a disk without room."""
import os
import random
import sys

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "corpus", "lpcm")
os.makedirs(out, exist_ok=True)
rnd = random.Random(1)


def packet(header, length, piece=0):
    payload = bytes(rnd.randrange(256) for _ in range(length))
    return bytes([len(header)]) + bytes(header) + bytes([length >> 8, length & 0xFF, piece]) + payload


def dvd(format_byte):
    return [0x00, format_byte, 0x80]


def aob(words, rates, assignment):
    return [0x00, 0x0A, 0x10, words, rates, 0x00, assignment, 0x80]


# Settings: bit 0 DVD-Audio, bit 1 FLAC, bits 2-3 room (3: no limit), bit 4 merged groups.
seeds = {
    "dvd_16_stereo": bytes([0x0C]) + packet(dvd(0x01), 1000) + packet(dvd(0x01), 1000, 37),
    "dvd_24_6ch_then_20_96k_flac": bytes([0x0E]) + packet(dvd(0x85), 1500, 101)
    + packet(dvd(0x55), 1200) + packet(dvd(0xC1), 300, 7),
    "dvd_reserved_first": bytes([0x0C]) + packet(dvd(0x31), 600) + packet(dvd(0x01), 600),
    "dvd_192k_8ch_full_disk": bytes([0x04]) + packet(dvd(0xA7), 2000, 255),
    "aob_l_r_c_lfe_ls_rs": bytes([0x1D]) + packet(aob(0x00, 0x00, 12), 2000, 33),
    "aob_24_and_16_bits": bytes([0x0D]) + packet(aob(0x20, 0x00, 20), 2000)
    + packet(aob(0x20, 0x00, 20), 999, 13),
    "aob_96_and_48_khz_flac": bytes([0x0F]) + packet(aob(0x11, 0x10, 3), 1800, 64),
    "aob_reserved_assignment": bytes([0x0D]) + packet(aob(0x0F, 0x0F, 25), 500),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
