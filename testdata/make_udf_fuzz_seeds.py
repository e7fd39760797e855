#!/usr/bin/python3
"""Writes the seed corpus of the udf_image fuzz target (fuzz/corpus/udf_image/): small disc
images made with genisoimage (UDF 1.02) and pycdlib (UDF 2.60), each in the target's input
form (see fuzz/udf_image_fuzz.cpp): the blocks that are not all zeros, each as its two-byte
block number and its 2,048 bytes. Needs genisoimage and python3-pycdlib. Run it only to make
the seeds again."""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "fuzz", "corpus", "udf_image")
BLOCK = 2048


def pack(scr):
    """A 2,048-byte MPEG-2 pack: a pack header, then one padding packet."""
    header = b"\x00\x00\x01\xba" + bytes([0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xc3, 0xf8])
    header = header[:4] + struct.pack(">I", 0x44000400 | scr)[:4] + header[8:]
    rest = BLOCK - len(header) - 6
    return header + b"\x00\x00\x01\xbe" + struct.pack(">H", rest) + b"\xff" * rest


def tree(root, files):
    for path, data in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "wb") as out:
            out.write(data)


def records(image):
    with open(image, "rb") as f:
        data = f.read()
    out = b""
    for block in range(0, (len(data) + BLOCK - 1) // BLOCK):
        piece = data[block * BLOCK:(block + 1) * BLOCK]
        if any(piece) and block < 2048:
            out += struct.pack(">H", block) + piece
    return out


def main():
    os.makedirs(OUT, exist_ok=True)
    stream = pack(0)
    discs = {
        "dvd_folder": {"VIDEO_TS/VTS_01_1.VOB": stream, "VIDEO_TS/VIDEO_TS.IFO": b"DVDVIDEO-VMG"},
        "hd_dvd_folder": {"HVDVD_TS/FEATURE_1.EVO": stream, "ADV_OBJ/VPLST000.XPL": b"<Playlist/>",
                          "AACS/x": b""},
    }
    makers = {
        "genisoimage": ["genisoimage", "-quiet", "-udf", "-no-pad"],
        "pycdlib": ["/usr/bin/pycdlib-genisoimage", "-udf"],
    }
    with tempfile.TemporaryDirectory() as work:
        for disc, files in discs.items():
            root = os.path.join(work, disc)
            tree(root, files)
            for maker, command in makers.items():
                image = os.path.join(work, disc + ".iso")
                subprocess.run(command + ["-o", image, root], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                with open(os.path.join(OUT, disc.replace("_folder", "") + "_" + maker), "wb") as out:
                    out.write(records(image))


if __name__ == "__main__":
    sys.exit(main())
