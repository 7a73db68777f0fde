#!/usr/bin/env python3
"""Reconciliation with a linkage model: trains a model with `vantel link` on
the people file, serves the file with `vantel serve --model`, reconciles
surnames with the other columns as properties, and holds every score to the
probability `vantel link` gives the same query (a file of that one row)
and the same record. Usage: serve_model_test.py VANTEL PEOPLE.csv"""

import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request

FIELDS = ["--field", "given_name:name", "--field", "surname:name", "--field", "birth_date:date",
          "--field", "town:exact"]
# Surname, then the properties: the first two are people of the file with a
# misspelt surname, the third has the first one's surname but not her life.
QUERIES = [
    ("Welles", {"given_name": "Birgit", "birth_date": "2001-01-18", "town": "Stoke-on-Trent"}),
    ("Gregori", {"given_name": "Angela", "birth_date": "1977-11-17", "town": "Telford"}),
    ("Wells", {"given_name": "Tom", "birth_date": "1950-05-05", "town": "Leeds"}),
]
THRESHOLD = 60


def run(command, **options):
    done = subprocess.run(command, capture_output=True, text=True, check=False, **options)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed ({done.returncode}): {done.stderr}")
    return done.stdout


def linked(vantel, people, model, folder, surname, values):
    """What `vantel link` gives the query against every record whose surname
    reaches THRESHOLD: candidate id -> probability."""
    query = os.path.join(folder, "query.csv")
    with open(query, "w", newline="", encoding="utf-8") as out:
        writer = csv.writer(out)
        writer.writerow(["id", "given_name", "surname", "birth_date", "town"])
        writer.writerow(["Q", values["given_name"], surname, values["birth_date"], values["town"]])
    rows = run([vantel, "link", query, people, *FIELDS, "--id", "id", "--model", model,
                "--scan", f"surname:{THRESHOLD}", "--threshold", "0"])
    return {row["candidate_id"]: float(row["probability"])
            for row in csv.DictReader(io.StringIO(rows), delimiter="\t")}


def main():
    vantel, people = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        model = os.path.join(folder, "model.json")
        run([vantel, "link", people, *FIELDS, "--id", "id", "--save-model", model])
        server = subprocess.Popen([vantel, "serve", "--listen", "127.0.0.1:0", "--column", "surname", "--id", "id",
                                   "--method", "2", "--threshold", str(THRESHOLD), "--model", model, people],
                                  stderr=subprocess.PIPE, text=True)
        try:
            base = None
            for line in server.stderr:
                found = re.search(r"listening on (http://127\.0\.0\.1:\d+/)", line)
                if found:
                    base = found.group(1)
                    break
            if base is None:
                raise SystemExit("vantel serve --model did not start")
            queries = {f"q{n}": {"query": surname, "limit": 3,
                                 "properties": [{"pid": column, "v": value} for column, value in values.items()]}
                       for n, (surname, values) in enumerate(QUERIES)}
            form = urllib.parse.urlencode({"queries": json.dumps(queries)}).encode()
            with urllib.request.urlopen(base + "reconcile", data=form, timeout=60) as answer:
                answered = json.load(answer)
            for n, (surname, values) in enumerate(QUERIES):
                results = answered[f"q{n}"]["result"]
                expected = linked(vantel, people, model, folder, surname, values)
                if not results:
                    raise SystemExit(f"{surname}: no candidates")
                scores = [result["score"] for result in results]
                if scores != sorted(scores, reverse=True):
                    raise SystemExit(f"{surname}: not ranked by score: {results}")
                for rank, result in enumerate(results):
                    probability = expected.get(result["id"])
                    if probability is None or abs(result["score"] / 100 - probability) > 1e-12:
                        raise SystemExit(f"{surname}: {result} but vantel link gave {probability}")
                    if result["match"] != (rank == 0 and probability >= 0.5):
                        raise SystemExit(f"{surname}: match of {result} with probability {probability}")
            if answered["q0"]["result"][0]["id"] != "R0000001" or not answered["q0"]["result"][0]["match"]:
                raise SystemExit(f"the misspelt Birgit Wells was not matched: {answered['q0']}")
            if any(result["match"] for result in answered["q2"]["result"]):
                raise SystemExit(f"another person of the same surname was matched: {answered['q2']}")
        finally:
            server.terminate()
            server.wait(timeout=30)
    print("vantel serve --model reconciles with the probabilities of vantel link")


if __name__ == "__main__":
    main()
