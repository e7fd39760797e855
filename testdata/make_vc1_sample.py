#!/usr/bin/env python3
"""Writes vc1_ap_sample.vc1: a short hand-built VC-1 advanced-profile elementary stream.

No VC-1 encoder is at hand, so the headers are assembled bit by bit after SMPTE 421M: two
entry points, each a sequence header (1920x1080, display extension, 1:1 aspect ratio,
24000/1001 frames per second), an entry-point header and three frames. The frame bodies are
filler that holds no start-code prefix; they are not decodable pictures. The committed file
is what the tests use; run this only to make it again:  python3 make_vc1_sample.py
"""
import os


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, width):
        for shift in range(width - 1, -1, -1):
            self.bits.append((value >> shift) & 1)

    def trailing(self):
        # rbsp trailing bits: a one, then zeros up to the byte boundary.
        self.bits.append(1)
        while len(self.bits) % 8:
            self.bits.append(0)

    def bytes(self):
        out = bytearray()
        for i in range(0, len(self.bits), 8):
            out.append(int("".join(map(str, self.bits[i:i + 8])), 2))
        return bytes(out)


def sequence_header():
    w = BitWriter()
    w.put(3, 2)      # PROFILE: advanced
    w.put(3, 3)      # LEVEL 3
    w.put(1, 2)      # COLORDIFF_FORMAT: 4:2:0
    w.put(0, 3)      # FRMRTQ_POSTPROC
    w.put(31, 5)     # BITRTQ_POSTPROC
    w.put(0, 1)      # POSTPROCFLAG
    w.put(959, 12)   # MAX_CODED_WIDTH: (1920 - 2) / 2
    w.put(539, 12)   # MAX_CODED_HEIGHT: (1080 - 2) / 2
    w.put(0, 1)      # PULLDOWN
    w.put(0, 1)      # INTERLACE
    w.put(0, 1)      # TFCNTRFLAG
    w.put(0, 1)      # FINTERPFLAG
    w.put(1, 1)      # reserved
    w.put(0, 1)      # PSF
    w.put(1, 1)      # DISPLAY_EXT
    w.put(1919, 14)  # DISP_HORIZ_SIZE: 1920 - 1
    w.put(1079, 14)  # DISP_VERT_SIZE: 1080 - 1
    w.put(1, 1)      # ASPECT_RATIO_FLAG
    w.put(1, 4)      # ASPECT_RATIO: 1:1
    w.put(1, 1)      # FRAMERATE_FLAG
    w.put(0, 1)      # FRAMERATEIND: numerator and denominator codes follow
    w.put(1, 8)      # FRAMERATENR: 24000
    w.put(2, 4)      # FRAMERATEDR: 1001
    w.put(1, 1)      # COLOR_FORMAT_FLAG
    w.put(1, 8)      # COLOR_PRIM: BT.709
    w.put(1, 8)      # TRANSFER_CHAR: BT.709
    w.put(1, 8)      # MATRIX_COEF: BT.709
    w.put(0, 1)      # HRD_PARAM_FLAG
    w.trailing()
    return b"\x00\x00\x01\x0f" + w.bytes()


def entry_point_header():
    w = BitWriter()
    w.put(0, 1)  # BROKEN_LINK
    w.put(1, 1)  # CLOSED_ENTRY
    w.put(0, 1)  # PANSCAN_FLAG
    w.put(1, 1)  # REFDIST_FLAG
    w.put(1, 1)  # LOOPFILTER
    w.put(0, 1)  # FASTUVMC
    w.put(0, 1)  # EXTENDED_MV
    w.put(0, 2)  # DQUANT
    w.put(1, 1)  # VSTRANSFORM
    w.put(1, 1)  # OVERLAP
    w.put(0, 2)  # QUANTIZER
    w.put(0, 1)  # CODED_SIZE_FLAG
    w.put(0, 1)  # RANGE_MAPY_FLAG
    w.put(0, 1)  # RANGE_MAPUV_FLAG
    w.trailing()
    return b"\x00\x00\x01\x0e" + w.bytes()


def frame(number, size=240):
    # Filler without zero bytes, so no start-code prefix can appear inside it.
    body = bytes(((number * 53 + i * 29) % 255) + 1 for i in range(size))
    return b"\x00\x00\x01\x0d" + body


def main():
    stream = bytearray()
    for entry in range(2):
        stream += sequence_header() + entry_point_header()
        for n in range(3):
            stream += frame(entry * 3 + n)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vc1_ap_sample.vc1")
    with open(path, "wb") as out:
        out.write(stream)


if __name__ == "__main__":
    main()
