#!/usr/bin/env python3
"""Runs idprom_bench and prints one table of ratios, in Markdown.

Each ratio divides two throughputs measured in the same run (the best of
the repetitions, which run interleaved in random order), so a busy machine
slows both sides alike:
  ours / peer   the library against what a user would otherwise reach for;
  ours / limit  the library against a plain read of the same bytes.
Whole processes (the tool beside /bin/true, hexdump and xxd) are compared
by time per process, ours / other, lower is better.
Lookup and listing have no peer: their absolute costs are shown instead.

  bench/ratios.py [--bench build/bench/bench/idprom_bench] [--repetitions 9]
                  [--min-time 0.2] [--json saved.json] [--save run.json] [--check]
                  [--python build/bench/python]

The Python row runs bench/python_fields.py with the package built in
--python (when it is there) and compares its best times the same way.

--check makes the exit status 1 when a target is missed.
"""
import argparse
import json
import os
import subprocess
import sys

# (what, ours, other, kind, target): throughput ratio ours / other, with
# kind "peer" or "limit"; target is the lowest acceptable ratio or None.
RATIOS = [
    ("crc_16_buf / Boost.CRC CRC-16, 64000 B", "BM_Crc16Buf/64000", "BM_BoostCrc16/64000", "peer", 20.0),
    ("crc_16_buf / Boost.CRC CRC-16, 256 B", "BM_Crc16Buf/256", "BM_BoostCrc16/256", "peer", None),
    ("crc_16_buf / crc_16 byte by byte, 64000 B", "BM_Crc16Buf/64000", "BM_Crc16Bytes/64000", "plain form", None),
    ("crc_16_buf / plain read, 64000 B", "BM_Crc16Buf/64000", "BM_Memchr/64000", "limit", None),
    ("calculate_crc / plain read, 64000 B", "BM_CalculateCrc/64000", "BM_Memchr/64000", "limit", 0.5),
    ("calculate_crc / plain read, 256 B", "BM_CalculateCrc/256", "BM_Memchr/256", "limit", None),
    ("calculate_crc / word-by-word sum, 64000 B", "BM_CalculateCrc/64000", "BM_CalculateCrcWords/64000", "plain form", None),
    ("enhanced dump to buffer / snprintf per piece, 64000 B", "BM_EnhancedDumpToBuf", "BM_EnhancedDumpPieces", "peer", 5.0),
    ("macstring_r / glibc ether_ntoa_r", "BM_Macstring", "BM_EtherNtoa", "peer", 20.0),
    ("macbuf_r / glibc ether_aton_r", "BM_Macbuf", "BM_EtherAton", "peer", 3.0),
    ("lookup walk, 1024 entries / one dependent load per entry", "BM_LookupLast/1024", "BM_LoadChain/1024", "limit", None),
]

# (what, ours, other, target): whole processes, time per process ours / other;
# target is the highest acceptable ratio.
PROCESSES = [
    ("idprom get (one field of the sample) / /bin/true", "BM_ToolGet", "BM_True", 1.5),
    ("idprom dump --ascii / hexdump -C, 64000 B", "BM_ToolDump", "BM_Hexdump", 0.5),
    ("idprom dump --ascii / xxd, 64000 B", "BM_ToolDump", "BM_Xxd", 1.0),
]

# (what, benchmark, unit, target): absolute costs.
COSTS = [
    ("lookup of the last of 16 entries", "BM_LookupLast/16", "ns per entry", 2.0),
    ("lookup of the last of 128 entries", "BM_LookupLast/128", "ns per entry", 2.0),
    ("lookup of the last of 1024 entries", "BM_LookupLast/1024", "ns per entry", 2.0),
    ("lookup, 1024 entries of random shapes, 64 images in turn", "BM_LookupLastShuffled/1024", "ns per entry", None),
    ("listing, 256-byte sample image", "BM_ListSample", "ns per field", None),
    ("listing, every type x4", "BM_ListEveryType", "ns per field", None),
]


def run(bench, repetitions, min_time):
    out = subprocess.run(
        [bench, "--benchmark_format=json", f"--benchmark_repetitions={repetitions}",
         f"--benchmark_min_time={min_time}",
         # repetitions of all benchmarks in random order, so that a change of
         # load during the run falls on both sides of every ratio
         "--benchmark_enable_random_interleaving=true"],
        check=True, stdout=subprocess.PIPE, text=True).stdout
    return json.loads(out)


def best(report):
    """name -> the fastest repetition's entry."""
    got = {}
    for b in report["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            continue
        # processes are timed by hand: "BM_True/manual_time" is BM_True
        name = b.get("run_name", b["name"]).removesuffix("/manual_time")
        if name not in got or rate(b) > rate(got[name]):
            got[name] = b
    return got


def rate(entry):
    return entry.get("bytes_per_second") or entry.get("items_per_second")


def human(entry):
    if "bytes_per_second" in entry:
        return f"{entry['bytes_per_second'] / 1e9:.3g} GB/s"
    return f"{entry['items_per_second'] / 1e6:.3g} M/s"


def machine(report):
    ctx = report.get("context", {})
    model = ""
    try:
        for line in subprocess.run(["lscpu"], stdout=subprocess.PIPE, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    return (f"{model or 'unknown CPU'}, {ctx.get('num_cpus', '?')} cores at "
            f"{ctx.get('mhz_per_cpu', '?')} MHz, load average {ctx.get('load_avg', ['?'])[0]:.2f} "
            f"at the start; g++ -O2, {ctx.get('date', '')}")


def verdict(ok):
    return "met" if ok else "**missed**"


def python_row(package_dir):
    """The Python listing beside the C++ walk, or None without the package."""
    if not package_dir or not os.path.isdir(os.path.join(package_dir, "idprom")):
        return None
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "python_fields.py")
    env = dict(os.environ, PYTHONPATH=package_dir)
    out = subprocess.run(["/usr/bin/python3", script, "--json"], check=True, stdout=subprocess.PIPE,
                         text=True, env=env).stdout
    got = json.loads(out)
    return (f"Python Image.fields() / the C++ walk, {got['images']} images",
            got["python_s"] * 1e3, got["cpp_s"] * 1e3, 2.0)


def table(report, python=None):
    got = best(report)
    lines = [f"Measured on: {machine(report)}", "",
             "| measure | ours | other | ours / other | target |",
             "|---|---:|---:|---:|---|"]
    missed = 0
    for what, ours, other, kind, target in RATIOS:
        if ours not in got or other not in got:
            lines.append(f"| {what} | | | not run | |")
            continue
        r = rate(got[ours]) / rate(got[other])
        goal = ""
        if target is not None:
            goal = f">= {target:g}: {verdict(r >= target)}"
            missed += r < target
        lines.append(f"| {what} | {human(got[ours])} | {human(got[other])} ({kind}) | {r:.2f} | {goal} |")
    lines += ["", "| whole process | ours | other | time ours / other | target |", "|---|---:|---:|---:|---|"]
    for what, ours, other, target in PROCESSES:
        if ours not in got or other not in got:
            lines.append(f"| {what} | | | not run | |")
            continue
        t_ours, t_other = 1e6 / rate(got[ours]), 1e6 / rate(got[other])
        r = t_ours / t_other
        missed += r > target
        lines.append(f"| {what} | {t_ours:.0f} us | {t_other:.0f} us | {r:.2f} | <= {target:g}: {verdict(r <= target)} |")
    if python is not None:
        what, ms_ours, ms_other, target = python
        r = ms_ours / ms_other
        missed += r > target
        lines.append(f"| {what} | {ms_ours:.0f} ms | {ms_other:.0f} ms | {r:.2f} | <= {target:g}: {verdict(r <= target)} |")
    lines += ["", "| measure | cost | throughput | target |", "|---|---:|---:|---|"]
    for what, name, unit, target in COSTS:
        if name not in got:
            lines.append(f"| {what} | not run | | |")
            continue
        cost = 1e9 / got[name]["items_per_second"]
        text = f"{got[name]['bytes_per_second'] / 1e6:.0f} MB/s of text" if "bytes_per_second" in got[name] else ""
        goal = ""
        if target is not None:
            goal = f"<= {target:g} ns: {verdict(cost <= target)}"
            missed += cost > target
        lines.append(f"| {what} | {cost:.2f} {unit} | {text} | {goal} |")
    return "\n".join(lines), missed


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bench", default=os.path.join(here, "..", "build", "bench", "bench", "idprom_bench"))
    ap.add_argument("--repetitions", type=int, default=9)
    ap.add_argument("--min-time", type=float, default=0.2)
    ap.add_argument("--json", help="read a saved --benchmark_format=json report instead of running")
    ap.add_argument("--save", help="also write the run's JSON report to this file")
    ap.add_argument("--check", action="store_true", help="exit with 1 when a target is missed")
    ap.add_argument("--python", default=os.path.join(here, "..", "build", "bench", "python"),
                    help="folder holding the built idprom package (no Python row without it)")
    args = ap.parse_args()
    if args.json:
        with open(args.json) as f:
            report = json.load(f)
    else:
        report = run(args.bench, args.repetitions, args.min_time)
    if args.save:
        with open(args.save, "w") as f:
            json.dump(report, f, indent=1)
    text, missed = table(report, None if args.json else python_row(args.python))
    print(text)
    return 1 if missed and args.check else 0


if __name__ == "__main__":
    sys.exit(main())
