"""vantel.dask.match against vantel.match in one process, and Dask's share.

    build/python-venv/bin/python python/bench/bench_dask.py [--names 200000] [--block 10000]

De-duplicates N generated names at threshold 85 (N(N-1)/2 pairs):
1. in one process: vantel.match with 1 worker thread, then 2;
2. on a distributed.LocalCluster of 1, then 2, worker processes of one
   thread each, with vantel.dask.match over blocks of --block names.
For the cluster runs the task stream gives the time spent inside the tasks;
the rest of the wall time times the threads is Dask's overhead (scheduling,
moving blocks and results, merging). The figures then extrapolate, on paper,
to 10 million names on 64 cores.
"""

import argparse
import json
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests"))
import warnings  # noqa: E402

import dask.dataframe as dd  # noqa: E402
import distributed  # noqa: E402
import pandas as pd  # noqa: E402

import vantel  # noqa: E402
import vantel.dask  # noqa: E402
from namegen import names  # noqa: E402

warnings.filterwarnings("ignore", "make_current is deprecated", DeprecationWarning)
THRESHOLD = 85


def single(strings, workers):
    start = time.perf_counter()
    found = vantel.match(strings, threshold=THRESHOLD, workers=workers)
    return time.perf_counter() - start, len(found)


def cluster(strings, block, n_workers):
    series = pd.Series(strings)
    data = dd.from_pandas(series, chunksize=block, sort=False)
    with distributed.LocalCluster(
        n_workers=n_workers, threads_per_worker=1, processes=True, dashboard_address=None, silence_logs=40
    ) as local, distributed.Client(local) as client:
        client.run(lambda: __import__("vantel._vantel", fromlist=["_vantel"]).compare("a", "b"))  # imported everywhere
        pairs = vantel.dask.match(data, threshold=THRESHOLD)
        with distributed.get_task_stream(client) as stream:
            start = time.perf_counter()
            result = pairs.compute()
            wall = time.perf_counter() - start
        inside = {}
        for task in stream.data:
            prefix = str(task["key"]).split("-")[1] if str(task["key"]).startswith("vantel-") else "dask"
            for part in task["startstops"]:
                if part["action"] == "compute":
                    inside[prefix] = inside.get(prefix, 0.0) + part["stop"] - part["start"]
    return wall, len(result), inside, data.npartitions


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--names", type=int, default=200_000)
    parser.add_argument("--block", type=int, default=10_000)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    strings = names(args.names, seed=2025)
    total = args.names * (args.names - 1) // 2
    print(f"De-duplicating {args.names:,} names at threshold {THRESHOLD}: {total:,} pairs")
    figures = {"names": args.names, "pairs": total, "runs": []}

    for workers in (1, 2):
        wall, kept = single(strings, workers)
        print(f"one process, vantel.match, {workers} thread(s): {wall:8.1f} s  {total / wall:14,.0f} pairs/s  {kept:,} pairs kept")
        figures["runs"].append({"what": f"single process, {workers} thread(s)", "wall": wall, "kept": kept})
    per_pair = figures["runs"][0]["wall"] / total

    for n_workers in (1, 2):
        wall, kept, inside, blocks = cluster(strings, args.block, n_workers)
        busy = sum(inside.values())
        overhead = 1 - busy / (wall * n_workers)
        tasks = blocks * (blocks + 1) // 2
        print(
            f"LocalCluster, {n_workers} worker(s) x 1 thread, {blocks} blocks, {tasks} match tasks: {wall:8.1f} s  "
            f"{total / wall:14,.0f} pairs/s  {kept:,} pairs kept; inside tasks {busy:.1f} s "
            f"({', '.join(f'{k} {v:.1f} s' for k, v in sorted(inside.items()))}); Dask's share {overhead:.1%}"
        )
        figures["runs"].append(
            {"what": f"LocalCluster {n_workers} worker(s)", "wall": wall, "kept": kept, "inside": inside, "overhead": overhead}
        )

    # On paper: 10 million names on 64 cores, blocks of 200,000 names (tasks of
    # tens of seconds, next to Dask's cost per task).
    big, cores, big_block = 10_000_000, 64, 200_000
    big_pairs = big * (big - 1) // 2
    big_blocks = big // big_block
    big_tasks = big_blocks * (big_blocks + 1) // 2
    overhead = figures["runs"][-1]["overhead"]
    compute = big_pairs * per_pair / cores
    print(
        f"\n10,000,000 names on {cores} cores: {big_pairs:.2e} pairs at {per_pair * 1e9:.1f} ns a pair (one thread, measured) "
        f"= {big_pairs * per_pair / 3600:,.0f} core-hours, {compute / 3600:.1f} h of wall time on {cores} cores; "
        f"{big_blocks} blocks of {big_block:,}, {big_tasks:,} tasks of {big_block ** 2:.1e} pairs "
        f"({big_block ** 2 * per_pair:.1f} s each); with the measured overhead share {overhead:.1%}: "
        f"{compute / (1 - overhead) / 3600:.1f} h"
    )
    figures["extrapolation"] = {"per_pair_s": per_pair, "hours_64_cores": compute / (1 - overhead) / 3600, "tasks": big_tasks}
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=2))


if __name__ == "__main__":
    main()
