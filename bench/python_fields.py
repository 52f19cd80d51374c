#!/usr/bin/env python3
"""Listing the fields of 10,000 sample-sized images: the Python package
(Image.fields(), a Field per entry) against the same walk in C++ (entries,
names, labels and value texts, without building Python objects).

  PYTHONPATH=build/bench-py/python /usr/bin/python3 bench/python_fields.py [--check]

Both sides run interleaved, 7 times; the best times are compared.  --check
makes the exit status 1 when Python takes more than 2 times the C++ time;
--json prints the figures as one JSON object instead (for bench/ratios.py).
Each image's fields are used and dropped, as a script walking a folder
does; keeping all 180,000 Field objects alive at once adds the cost of
Python's garbage collector scanning them (shown as "python, kept").
"""
import argparse
import json
import pathlib
import sys
import time

import idprom
from idprom import _idprom

SAMPLE = pathlib.Path(__file__).resolve().parents[1] / "examples" / "sample.bin"


def images(count):
    """The sample with a different serial number in each copy."""
    base = idprom.Image.open(SAMPLE)
    out = []
    for i in range(count):
        img = idprom.Image(bytes(base))
        img.set("pcb-serial", f"SN{i:09d}")
        out.append(img)
    return out


def timed(work):
    start = time.perf_counter()
    work()
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=10000)
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--json", action="store_true")
    args = parser.parse_args()
    imgs = images(args.count)
    raw = [bytes(img) for img in imgs]
    py, cpp, kept = [], [], []
    for _ in range(args.repetitions):
        py.append(timed(lambda: sum(len(img.fields()) for img in imgs)))
        cpp.append(timed(lambda: _idprom.walk_fields(raw)))
        kept.append(timed(lambda: [img.fields() for img in imgs]))
    py_s, cpp_s, kept_s = (min(t) for t in (py, cpp, kept))
    fields = len(imgs[0].fields()) * args.count
    if args.json:
        print(json.dumps({"images": args.count, "fields": fields, "python_s": py_s, "cpp_s": cpp_s,
                          "kept_s": kept_s}))
        return 0
    print(f"{args.count} images, {fields} fields")
    print(f"python   {py_s * 1e3:8.1f} ms  ({py_s / fields * 1e9:6.0f} ns/field)")
    print(f"python, kept {kept_s * 1e3:4.1f} ms  ({kept_s / fields * 1e9:6.0f} ns/field)")
    print(f"c++      {cpp_s * 1e3:8.1f} ms  ({cpp_s / fields * 1e9:6.0f} ns/field)")
    print(f"ratio    {py_s / cpp_s:8.2f}  (target: at most 2)")
    return 1 if args.check and py_s > 2 * cpp_s else 0


if __name__ == "__main__":
    sys.exit(main())
