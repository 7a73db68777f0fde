#!/usr/bin/env python3
"""Runs the real `vantel serve` on a record file, asks it over HTTP, checks
each answer against `vantel match --top` on the same file, and stops it with
SIGTERM; the same with the index of the file (vantel serve --index); then
adds a record, kills the server with SIGKILL, and finds the record in the
server started again. Usage: serve_process_test.py VANTEL RECORDS.csv"""

import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import urllib.error
import urllib.parse
import urllib.request

QUERIES = ["Margaret Jonson", "Thomas Gonzales", "Anne Lee", "Jon Smith", "Zürich Müller", "Xqzt"]
TOP, THRESHOLD, METHOD = 3, 60, 2


def post(url, body, content_type="application/json"):
    request = urllib.request.Request(url, data=body, headers={"Content-Type": content_type})
    try:
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.status, json.load(answer)
    except urllib.error.HTTPError as refused:
        return refused.code, json.load(refused)


def start(vantel, arguments, folder):
    """The server and its address, once it says where it listens."""
    server = subprocess.Popen([vantel, "serve", "--listen", "127.0.0.1:0", *arguments],
                              stderr=subprocess.PIPE, text=True, cwd=folder)
    said = []  # rows set aside come first, each on a line of its own
    for line in server.stderr:
        said.append(line)
        found = re.search(r"listening on (http://127\.0\.0\.1:\d+/)", line)
        if found:
            return server, found.group(1)
    server.kill()
    server.wait()
    raise SystemExit(f"vantel serve did not say where it listens: {''.join(said)!r}")


def survives_kill(vantel, records, folder):
    """An acknowledged addition outlives SIGKILL."""
    copy = os.path.join(folder, "records.csv")
    with open(records, "rb") as source, open(copy, "wb") as target:
        target.write(source.read())
    token = os.path.join(folder, "token")
    with open(token, "w", encoding="utf-8") as out:
        out.write("s3cret\n")
    arguments = ["--column", "name", "--id", "id", "--token-file", token, copy]
    added = {"records": [{"string": "Quentin Zabrowski", "id": "Z1"}]}
    server, base = start(vantel, arguments, folder)
    try:
        request = urllib.request.Request(base + "v1/records", data=json.dumps(added).encode(),
                                         headers={"Content-Type": "application/json",
                                                  "Authorization": "Bearer s3cret"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            if answer.status != 201:
                raise SystemExit(f"adding a record was answered {answer.status}")
        server.send_signal(signal.SIGKILL)
        server.wait(timeout=30)
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()
    server, base = start(vantel, arguments, folder)
    try:
        status, answer = post(base + "v1/match", b'{"query": "Quentin Zabrowski", "top": 1}')
        if status != 200 or [c["id"] for c in answer["candidates"]] != ["Z1"]:
            raise SystemExit(f"after SIGKILL and a new start the added record is lost: {status} {answer}")
    finally:
        server.send_signal(signal.SIGTERM)
        if server.wait(timeout=30) != 0:
            raise SystemExit("the second server did not stop cleanly")


def main():
    vantel, records = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="vantel-serve-") as folder:
        queries = os.path.join(folder, "queries.csv")
        with open(queries, "w", encoding="utf-8") as out:
            out.write("id,name,city\n" + "".join(f"q{n},{q},\n" for n, q in enumerate(QUERIES)))
        run = subprocess.run([vantel, "match", "--top", str(TOP), "--threshold", str(THRESHOLD), "--method",
                              str(METHOD), "--format", "json", "--column", "name", "--keep", "city", "--id", "id",
                              "--quiet", queries, records], capture_output=True, text=True, check=False)
        if run.returncode != 0:
            raise SystemExit(f"vantel match failed ({run.returncode}): {run.stderr}")
        expected = {q: [] for q in QUERIES}
        for line in run.stdout.splitlines():
            row = json.loads(line)
            expected[row["query_name"]].append(
                {"id": row["candidate_id"], "string": row["candidate_name"], "answer": row["answer"],
                 "fields": {"city": row["candidate_city"]}})
        if sum(len(found) for found in expected.values()) < 5:
            raise SystemExit(f"the queries find too little to compare: {expected}")

        index = os.path.join(folder, "records.vidx")
        made = subprocess.run([vantel, "index", "--column", "name", "--id", "id", "--keep", "city", records,
                               "-o", index], capture_output=True, text=True, check=False)
        if made.returncode != 0:
            raise SystemExit(f"vantel index failed ({made.returncode}): {made.stderr}")
        records_options = ["--column", "name", "--id", "id", "--keep", "city"]
        for listed in ([*records_options, records], ["--index", index]):
            check_server(vantel, listed, folder, expected)
        survives_kill(vantel, records, folder)
    print("vantel serve answers as vantel match --top does, from the file and from its index")


def check_server(vantel, listed, folder, expected):
    """The server of `listed` (a file with its record options, or an index)
    answers each query as `expected`, and stops on SIGTERM."""
    server, base = start(vantel, ["--threads", "2", "--method", str(METHOD), "--threshold", str(THRESHOLD),
                                  *listed], folder)
    try:
        for query in QUERIES:
            status, answer = post(base + "v1/match", json.dumps(
                {"query": query, "top": TOP, "threshold": THRESHOLD, "method": METHOD}).encode())
            if status != 200 or answer["candidates"] != expected[query]:
                raise SystemExit(f"{query}: served {status} {answer}, vantel match gave {expected[query]}")

        status, answer = post(base + "v1/match", b'{"query": 5}')
        if status != 400 or "error" not in answer:
            raise SystemExit(f"a bad request was answered {status} {answer}")

        form = urllib.parse.urlencode({"queries": json.dumps(
            {f"q{n}": {"query": q, "limit": 1} for n, q in enumerate(QUERIES)})}).encode()
        status, answer = post(base + "reconcile", form, "application/x-www-form-urlencoded")
        for n, query in enumerate(QUERIES):
            best = [{"id": c["id"], "name": c["string"], "score": c["answer"]} for c in expected[query][:1]]
            got = [{k: c[k] for k in ("id", "name", "score")} for c in answer[f"q{n}"]["result"]]
            if status != 200 or got != best:
                raise SystemExit(f"reconciling {query}: {status} {got}, vantel match --top 1 gave {best}")

        server.send_signal(signal.SIGTERM)
        status = server.wait(timeout=30)
        rest = server.stderr.read()
        if status != 0 or "stopped" not in rest:
            raise SystemExit(f"after SIGTERM vantel serve ended with {status}: {rest}")
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()


if __name__ == "__main__":
    main()
