"""Lookups against `vantel serve` from other processes on loopback: how long
the server takes to be ready, its resident memory, the latency of one query
at a time (p50, p99) and the queries per second that several clients get
together. Standard library only; run by bench/serve-load.sh."""

import argparse
import http.client
import json
import multiprocessing
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def start_server(command, folder, startup=600):
    """Starts `vantel serve`, returns (process, port, seconds until it listened)."""
    log_path = os.path.join(folder, "serve.log")
    started = time.monotonic()
    with open(log_path, "w", encoding="utf-8") as log:
        server = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    while True:
        with open(log_path, encoding="utf-8") as said:
            found = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", said.read())
        if found:
            return server, int(found.group(1)), time.monotonic() - started
        if server.poll() is not None or time.monotonic() - started > startup:
            os.killpg(server.pid, signal.SIGKILL)
            with open(log_path, encoding="utf-8") as said:
                sys.exit(f"vantel serve did not start ({server.poll()}): {said.read()}")
        time.sleep(0.002)


def resident_mb(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def ask(connection, body):
    connection.request("POST", "/v1/match", body=body, headers={"Content-Type": "application/json"})
    response = connection.getresponse()
    payload = response.read()
    if response.status != 200:
        raise RuntimeError(f"HTTP {response.status}: {payload[:200]!r}")
    return payload


def bodies(queries, options):
    return [json.dumps({"query": query, **options}).encode() for query in queries]


def one_client(port, requests, results):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    for body in requests:
        ask(connection, body)
    results.put(len(requests))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vantel", required=True)
    parser.add_argument("--list", required=True, help="the names served, one a line")
    parser.add_argument("--queries", required=True, help="the names asked, one a line")
    parser.add_argument("--serve-arguments", default="", help="further arguments of vantel serve")
    parser.add_argument("--index", help="serve this index of the list (vantel serve --index) instead of the list")
    parser.add_argument("--method", type=int, default=2)
    parser.add_argument("--threshold", type=float, default=75)
    parser.add_argument("--top", type=int, default=3)
    parser.add_argument("--clients", type=int, default=2)
    arguments = parser.parse_args()

    with open(arguments.queries, encoding="utf-8") as lines:
        queries = [line.strip() for line in lines if line.strip()]
    options = {"top": arguments.top, "threshold": arguments.threshold, "method": arguments.method}
    requests = bodies(queries, options)

    with tempfile.TemporaryDirectory() as folder:
        # The server lays its list out for its default method before it listens.
        command = [arguments.vantel, "serve", "--listen", "127.0.0.1:0", "--method", str(arguments.method),
                   *arguments.serve_arguments.split(),
                   *(["--index", arguments.index] if arguments.index else [arguments.list])]
        server, port, ready = start_server(command, folder)
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            # The first lookup of a method lays the list out for it.
            first_started = time.monotonic()
            ask(connection, requests[0])
            first = time.monotonic() - first_started
            for body in requests[:50]:
                ask(connection, body)

            latencies = []
            for body in requests:
                started = time.perf_counter()
                ask(connection, body)
                latencies.append(time.perf_counter() - started)
            latencies.sort()
            rss = resident_mb(server.pid)

            results = multiprocessing.Queue()
            share = [requests[index::arguments.clients] for index in range(arguments.clients)]
            clients = [multiprocessing.Process(target=one_client, args=(port, part, results)) for part in share]
            started = time.monotonic()
            for client in clients:
                client.start()
            for client in clients:
                client.join(timeout=600)
                if client.exitcode != 0:
                    sys.exit(f"a client failed (exit {client.exitcode})")
            answered = sum(results.get(timeout=10) for _ in clients)
            elapsed = time.monotonic() - started
        finally:
            os.killpg(server.pid, signal.SIGTERM)
            server.wait(timeout=30)

    def ms(seconds):
        return f"{seconds * 1000:.2f} ms"

    print(f"ready after             {ms(ready)}")
    print(f"first lookup            {ms(first)}")
    print(f"one at a time ({len(latencies)} queries): p50 {ms(latencies[len(latencies) // 2])}, "
          f"p99 {ms(latencies[min(len(latencies) - 1, len(latencies) * 99 // 100)])}, "
          f"mean {ms(statistics.fmean(latencies))}")
    print(f"{arguments.clients} clients together    {answered / elapsed:.0f} queries/s")
    print(f"resident memory         {rss:.0f} MB")


if __name__ == "__main__":
    main()
