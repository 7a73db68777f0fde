"""vantel.match against Python loops, one process, and its peak memory.

    build/python-venv/bin/python python/bench/bench_match.py [--names 20000] [--memory 100000]

1. De-duplicating N generated names (N(N-1)/2 pairs) at threshold 85 with
   vantel.match (1 worker, then one per processor), against a Python loop of
   vantel.compare and a loop of difflib.SequenceMatcher.ratio (plain, and
   with difflib's own quick_ratio cut-offs as get_close_matches does). The
   loops would take hours on every pair, so they run on the first pairs for a
   few seconds; pairs/s is what they reach.
2. The peak memory of vantel.match on M names, in a child process per size,
   against the memory of the list itself and of the pairs kept.
"""

import argparse
import difflib
import json
import os
import resource
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests"))
import vantel  # noqa: E402
from namegen import names  # noqa: E402

THRESHOLD = 85


def pairs_of(strings):
    for i in range(len(strings)):
        a = strings[i]
        for j in range(i + 1, len(strings)):
            yield a, strings[j]


def timed_loop(score, strings, seconds):
    """Pairs per second of `score` over the list's first pairs, and the pairs kept."""
    done = kept = 0
    start = time.perf_counter()
    deadline = start + seconds
    for a, b in pairs_of(strings):
        if score(a, b) >= THRESHOLD:
            kept += 1
        done += 1
        if done % 2000 == 0 and time.perf_counter() > deadline:
            break
    return done / (time.perf_counter() - start), done, kept


def difflib_ratio(a, b):
    return 100 * difflib.SequenceMatcher(None, a, b).ratio()


def difflib_cutoff(a, b):
    matcher = difflib.SequenceMatcher(None, a, b)
    cutoff = THRESHOLD / 100
    if matcher.real_quick_ratio() < cutoff or matcher.quick_ratio() < cutoff:
        return 0.0
    return 100 * matcher.ratio()


def speed(count, loop_seconds):
    strings = names(count, seed=2024)
    total = count * (count - 1) // 2
    print(f"De-duplicating {count:,} names at threshold {THRESHOLD}: {total:,} pairs, one process")
    rows = []
    for workers in (1, -1):
        start = time.perf_counter()
        found = vantel.match(strings, threshold=THRESHOLD, workers=workers)
        elapsed = time.perf_counter() - start
        label = f"vantel.match, {workers if workers > 0 else len(os.sched_getaffinity(0))} worker(s)"
        rows.append((label, total / elapsed, elapsed, len(found)))
    for label, score in (
        ("loop of vantel.compare", vantel.compare),
        ("loop of difflib ratio", difflib_ratio),
        ("loop of difflib, quick_ratio cut-offs", difflib_cutoff),
    ):
        rate, done, kept = timed_loop(score, strings, loop_seconds)
        rows.append((label, rate, total / rate, None))
    base = rows[2][1]
    print(f"{'':40} {'pairs/s':>14} {'time for all pairs':>20} {'vs compare loop':>16}")
    for label, rate, seconds, kept in rows:
        note = f" ({kept:,} pairs kept)" if kept is not None else " (extrapolated)"
        print(f"{label:40} {rate:14,.0f} {seconds:18,.1f} s {rate / base:15,.1f}x{note}")
    return [{"what": r[0], "pairs_per_s": r[1], "seconds": r[2], "kept": r[3]} for r in rows]


CHILD = """
import json, resource, sys, time
sys.path.insert(0, sys.argv[3])
import vantel
from namegen import names
count = int(sys.argv[1]); threshold = float(sys.argv[2])
strings = names(count, seed=2024)
import os
with open("/proc/self/statm") as statm:
    before = int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024
start = time.perf_counter()
found = vantel.match(strings, threshold=threshold)
elapsed = time.perf_counter() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(json.dumps({"names": count, "before_kb": before, "peak_kb": peak, "pairs": len(found), "seconds": elapsed}))
"""


def memory(counts, threshold):
    print(f"\nPeak memory of vantel.match (threshold {threshold}), a fresh process per size")
    print(f"{'names':>9} {'kept pairs':>11} {'RSS before':>11} {'peak RSS':>10} {'added':>9} {'bytes/name':>11} {'time':>8}")
    results = []
    tests = str(Path(__file__).resolve().parents[1] / "tests")
    for count in counts:
        done = subprocess.run([sys.executable, "-c", CHILD, str(count), str(threshold), tests], capture_output=True, text=True, check=True)
        row = json.loads(done.stdout)
        added = (row["peak_kb"] - row["before_kb"]) * 1024
        # What the result itself needs: 24 bytes a pair (two int64 positions, one float64).
        per_name = (added - 24 * row["pairs"]) / count
        print(
            f"{count:9,} {row['pairs']:11,} {row['before_kb'] / 1024:9.1f} MB {row['peak_kb'] / 1024:8.1f} MB "
            f"{added / 2**20:7.1f} MB {per_name:11,.0f} {row['seconds']:7.1f} s"
        )
        results.append(row)
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--names", type=int, default=20_000)
    parser.add_argument("--loop-seconds", type=float, default=5.0)
    parser.add_argument("--memory", type=int, nargs="*", default=[25_000, 50_000, 100_000])
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    figures = {"speed": speed(args.names, args.loop_seconds), "memory": memory(args.memory, THRESHOLD)}
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=2))


if __name__ == "__main__":
    main()
