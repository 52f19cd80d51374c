#!/usr/bin/env python3
"""Times `idprom check` over many images: one process for all of them
against one process per image, and prints both times and their ratio.

  bench/check_batch.py [--tool build/default/tools/idprom/idprom]
                       [--image examples/sample.bin] [--count 10000] [--target 20]

The images are copies of --image (256 bytes) in a scratch folder.  The exit
status is 1 when the ratio is below --target or a check fails.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time


def make_images(folder, template, count):
    paths = []
    for i in range(count):
        path = os.path.join(folder, f"unit-{i:05d}.bin")
        with open(path, "wb") as f:
            f.write(template)
        paths.append(path)
    return paths


def timed(run):
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--tool", default=os.path.join(root, "build/default/tools/idprom/idprom"))
    p.add_argument("--image", default=os.path.join(root, "examples/sample.bin"))
    p.add_argument("--count", type=int, default=10000)
    p.add_argument("--target", type=float, default=20.0)
    a = p.parse_args()
    with open(a.image, "rb") as f:
        template = f.read()
    with tempfile.TemporaryDirectory(prefix="idprom-bench-") as folder:
        paths = make_images(folder, template, a.count)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def one_process():
            subprocess.run([a.tool, "check", *paths], check=True, **quiet)

        def many_processes():
            for path in paths:
                subprocess.run([a.tool, "check", path], check=True, **quiet)

        batch = timed(one_process)
        single = timed(many_processes)
    ratio = single / batch
    print(f"{a.count} images of {len(template)} bytes")
    print(f"one process:      {batch:8.3f} s")
    print(f"one per image:    {single:8.3f} s")
    print(f"ratio:            {ratio:8.1f}x (target {a.target:g}x)")
    return 0 if ratio >= a.target else 1


if __name__ == "__main__":
    sys.exit(main())
