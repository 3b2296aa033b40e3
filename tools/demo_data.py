#!/usr/bin/env python3
"""Writes a zundata.dat with a few demonstration tasks into the given folder (for screenshots)."""
import struct
import sys


def fixed(text, width):
    data = text.encode()[:width]
    return data + b" " * (width - len(data))


def record(version="0010", pc="", pc_date=0.0, palm="", palm_date=0.0, action=1, options="11", category=0,
           tab=4, targets="1", status="", pc_filter=1, palm_filter=1, flag1=-1, flag2=-1, counter=0):
    out = fixed(version, 4) + fixed(pc, 512) + struct.pack("<d", pc_date) + fixed(palm, 512)
    out += struct.pack("<d", palm_date) + struct.pack("<h", action) + fixed(options, 32)
    out += struct.pack("<hh", category, tab) + fixed(targets, 32) + fixed(status, 64)
    out += struct.pack("<hhhhh", pc_filter, palm_filter, flag1, flag2, counter) + fixed("", 20)
    assert len(out) == 1208
    return out


def main():
    folder = sys.argv[1].rstrip("/") + "/"
    home = sys.argv[2].rstrip("/") + "/" if len(sys.argv) > 2 else "/home/user/"
    records = [
        record(),
        record(version="0", palm="clipboard.pdb", action=3, flag1=0, flag2=0),
        record(pc=home + "texts/shopping.txt", palm="shopping.pdb", action=3, targets="10", status="OK"),
        record(pc=home + "texts/journal.txt", palm="journal.pdb", action=4, targets="10", status="No update necessary"),
        record(pc=home + "texts/recipes.txt", palm="recipes.pdb", action=2, targets="10", status="OK"),
        record(pc=home + "texts/notes.txt", palm=home + "palm/notes.pdb", action=3, targets="01", options="111"),
        record(pc=home + "texts/old.txt", palm="old.pdb", action=1, targets="10"),
    ]
    with open(folder + "zundata.dat", "wb") as f:
        f.write(b"".join(records))


if __name__ == "__main__":
    main()
