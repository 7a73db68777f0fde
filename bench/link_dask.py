"""Links one file of generated people against another with vantel.link in
this process and with vantel.dask.link on a LocalCluster, with the same model
and rules, and reports each one's time, the Dask share of it (scheduling,
shipping and merging: the cluster's time less its tasks' own) and that the
two results are equal. Run by bench/link-dask.sh."""

import argparse
import time

import dask
import distributed
import pandas as pd

import vantel
import vantel.dask as vdask

FIELDS = {"given_name": "name", "surname": "name", "birth_date": "date", "postcode": "code", "email": "email"}
BLOCKS = ["birth_date+first(given_name,1)", "postcode", "email",
          "phonetic(given_name)+phonetic(surname)+year(birth_date)"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("people", help="a CSV of tools/make_people.py, split in two halves here")
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--partitions", type=int, default=8, help="of each half")
    arguments = parser.parse_args()

    people = pd.read_csv(arguments.people, dtype=str, keep_default_na=False).replace("", None)
    half = len(people) // 2
    first, second = people.iloc[:half], people.iloc[half:]
    print(f"{len(first)} people linked against {len(second)}; blocks: {', '.join(BLOCKS)}")

    started = time.monotonic()
    model = vantel.Model.train(first, second, fields=FIELDS, block=BLOCKS)
    trained = time.monotonic() - started
    print(f"model trained on both halves: {trained:.1f} s")

    started = time.monotonic()
    alone = vantel.link(first, second, model=model, block=BLOCKS, id="id", threshold=0.9)
    one_process = time.monotonic() - started
    print(f"vantel.link, one process:        {one_process:7.1f} s, {len(alone)} pairs")

    with distributed.LocalCluster(n_workers=arguments.workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=40) as cluster, \
            distributed.Client(cluster) as client:
        with distributed.get_task_stream(client) as stream:
            started = time.monotonic()
            pairs = vdask.link(first, second, model=model, block=BLOCKS, id="id", threshold=0.9,
                               npartitions=arguments.partitions).compute()
            on_cluster = time.monotonic() - started
        # Every task of the run: preparing the partitions, counting terms,
        # the shuffle, the buckets and pairs of partitions, the merges.
        link_tasks = [task for task in stream.data if str(task["key"]).lstrip("('").startswith("vantel-")]
        task_seconds = sum(part["stop"] - part["start"] for task in link_tasks for part in task["startstops"]
                           if part["action"] == "compute")
    equal = pairs.reset_index(drop=True).equals(alone)
    print(f"vantel.dask.link, {arguments.workers} workers x 1 thread, {arguments.partitions} partitions of each half "
          f"(block rules in {arguments.partitions} buckets each): {on_cluster:7.1f} s, {len(pairs)} pairs, "
          f"{'equal to' if equal else 'DIFFERENT FROM'} one process")
    print(f"the run's tasks computed for {task_seconds:.1f} s of worker time in all; "
          f"the Dask share: {max(0.0, on_cluster * arguments.workers - task_seconds) / (on_cluster * arguments.workers):.0%} "
          f"of the workers' time")
    if not equal:
        raise SystemExit(1)


if __name__ == "__main__":
    dask.config.set({"distributed.worker.daemon": False})
    main()
