#!/usr/bin/env python3
"""Inventory of a folder of IDPROM images: one CSV row per image file.

    examples/inventory.py FOLDER > inventory.csv

Columns: file, PID, serial (the chassis serial, else the PCB serial), base
MAC (the chassis MAC when there is no base MAC), MAC block size.  A field
an image lacks is left empty; an image that does not decode is read as far
as it does, and named on standard error.  A file that cannot be read is
named on standard error and skipped; the exit status is then 1.
"""
import csv
import os
import sys

import idprom


def row(name, img):
    serial = img.get("chassis-serial") or img.get("pcb-serial")
    mac = img.get("base-mac") or img.get("chassis-mac")
    block = img.get_int("mac-block-size")
    return [name, img.get("pid") or "", serial or "", mac or "", "" if block is None else block]


def main(folder):
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["file", "pid", "serial", "base_mac", "mac_block_size"])
    status = 0
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            continue
        try:
            img = idprom.Image.open(path)
        except idprom.Error as e:
            print(f"inventory: {e}", file=sys.stderr)
            status = 1
            continue
        for problem in img.check():
            print(f"inventory: {name}: {problem}", file=sys.stderr)
        out.writerow(row(name, img))
    return status


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: inventory.py FOLDER")
    sys.exit(main(sys.argv[1]))
