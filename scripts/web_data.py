#!/usr/bin/env python3
"""Stages the browser build's data from the desktop build's data folder.

web_data.py DATA OUT: OUT/page is DATA without the largest images (the "-hd2" sheets, for 1231
pixels a side and up: the page's canvas never asks for them), and OUT/robot the same with a word
list in which every chain of two or three letters is a word, for the web tests' robot.
"""
import shutil
import struct
import sys
from pathlib import Path


def short_words():
    """Every two- and three-letter combination of A..Z as the list file packs them: five bits a
    letter, the first lowest, in a 32-bit little-endian integer, then an integer 0."""
    out = bytearray()
    for a in range(1, 27):
        for b in range(1, 27):
            out += struct.pack("<II", a | b << 5, 0)
            for c in range(1, 27):
                out += struct.pack("<II", a | b << 5 | c << 10, 0)
    return bytes(out)


def stage(data, folder):
    if folder.exists():
        shutil.rmtree(folder)
    shutil.copytree(data, folder, ignore=shutil.ignore_patterns("*-hd2.png"))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: web_data.py DATA OUT")
    data, out = Path(sys.argv[1]), Path(sys.argv[2])
    if not (data / "Lexorm.txt").is_file():
        sys.exit(f"web_data.py: {data} holds no generated data (run make first)")
    stage(data, out / "page")
    stage(data, out / "robot")
    (out / "robot" / "Lexorm.txt").write_bytes(short_words())


if __name__ == "__main__":
    main()
