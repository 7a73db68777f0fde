#!/usr/bin/env python3
"""Reconciles a column of names in a real, headless OpenRefine against the
reconciliation service of the real `vantel serve`, with auto-match, and checks
that the ids OpenRefine matched are those of `vantel match --top 1` with the
service's method and threshold (the service marks its best candidate as the
match), and that every other cell is left unmatched.
Usage: openrefine_test.py VANTEL RECORDS.csv [REFINE]
REFINE is OpenRefine's launcher (default /usr/share/openrefine/refine)."""

import csv
import http.client
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.parse
import uuid

from serving import free_port, stop, vantel_match, vantel_serve

RECORDS = 300  # the first rows of RECORDS.csv that the service serves
METHOD, THRESHOLD = 2, 75
STARTUP, WORK = 120, 120  # seconds; Java is slow to start on a loaded machine
ROW_BASED = json.dumps({"facets": [], "mode": "row-based"})
NONE_ALIKE = ["Xqzt Vvv", "Bbbbb Kkkkk", "Quorthian Pell"]


def variant(name, kind):
    """A misspelling of NAME of the given KIND, as a clerk would make one."""
    letters = list(name)
    middle = len(letters) // 2
    if kind == 0:  # two letters swapped
        letters[middle - 1], letters[middle] = letters[middle], letters[middle - 1]
    elif kind == 1:  # a letter left out
        del letters[middle]
    elif kind == 2:  # a letter doubled
        letters.insert(middle, letters[middle])
    elif kind == 3:  # heard rather than read
        return re.sub("ph", "f", re.sub("son\\b", "sen", re.sub("y", "i", name)))
    else:  # shouted
        return name.upper()
    return "".join(letters)


def write_inputs(records, folder):
    """The served records (the first RECORDS rows) and the names to reconcile
    (CSV: id, name), in FOLDER."""
    served = os.path.join(folder, "records.csv")
    with open(records, encoding="utf-8", newline="") as source:
        rows = list(csv.DictReader(source))[:RECORDS]
    with open(served, "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["id", "name"])
        writer.writerows([row["id"], row["name"]] for row in rows)
    names = [variant(row["name"], at % 5) for at, row in enumerate(rows[::7])] + NONE_ALIKE
    queries = os.path.join(folder, "queries.csv")
    with open(queries, "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["id", "name"])
        writer.writerows([f"q{at:03}", name] for at, name in enumerate(names))
    return served, queries


class OpenRefine:
    """A headless OpenRefine in a data folder of its own, and its commands."""

    def __init__(self, refine, folder):
        self.port = free_port()
        self.log_path = os.path.join(folder, "openrefine.log")
        data = os.path.join(folder, "openrefine-data")
        os.mkdir(data)
        with open(self.log_path, "w", encoding="utf-8") as log:
            self.process = subprocess.Popen(
                # A heap of 512 MB (not Debian's 1400) is plenty for these few
                # rows, and spares a machine that runs other tests.
                [refine, "-i", "127.0.0.1", "-p", str(self.port), "-d", data, "-m", "512M",
                 "-x", "refine.headless=true"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, cwd=os.path.dirname(refine),
                start_new_session=True)
        try:
            deadline = time.monotonic() + STARTUP
            last = "no connection"
            while True:
                try:
                    # A short wait: a listener that is not OpenRefine's must
                    # not hold up the start. Until its web application is up,
                    # Jetty may answer with an error; that is waited out too.
                    status, _, body = self.request("GET", "get-version", timeout=5)
                    if status == 200:
                        version = json.loads(body)
                        break
                    last = f"{status} {body[:200]!r}"
                except (OSError, ValueError) as failure:
                    last = repr(failure)
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise SystemExit(f"OpenRefine did not answer on port {self.port} within {STARTUP} s (exit "
                                     f"{self.process.poll()}, last {last}; a port another process took since it "
                                     f"was chosen is not reported otherwise): {self.log()}")
                time.sleep(0.25)
            print(f"{version['full_name']} on port {self.port}")
            self.token = self.get("get-csrf-token")["token"]
        except BaseException:
            self.close()
            raise

    def close(self):
        stop(self.process, "OpenRefine", wait=60)

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()[-3000:]

    def request(self, method, command, query=None, body=None, headers=None, timeout=WORK):
        """The status, headers and body of /command/core/COMMAND."""
        path = f"/command/core/{command}" + ("?" + urllib.parse.urlencode(query) if query else "")
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            answer = connection.getresponse()
            return answer.status, answer.headers, answer.read()
        finally:
            connection.close()

    def get(self, command, **query):
        status, _, body = self.request("GET", command, query)
        if status != 200:
            raise SystemExit(f"OpenRefine answered {command} with {status}: {body[:500]!r}")
        return json.loads(body)

    def post(self, command, project, fields):
        """A form POST that answers JSON; OpenRefine's own failures ("code": "error") fail the test."""
        body = urllib.parse.urlencode({**fields, "csrf_token": self.token}).encode()
        status, _, answer = self.request("POST", command, {"project": project}, body,
                                         {"Content-Type": "application/x-www-form-urlencoded"})
        if status != 200:
            raise SystemExit(f"OpenRefine answered {command} with {status}: {answer[:500]!r}")
        return answer

    def create_project(self, csv_path):
        boundary = uuid.uuid4().hex
        options = {"separator": ",", "headerLines": 1, "encoding": "UTF-8", "processQuotes": True,
                   "guessCellValueTypes": False, "storeBlankCellsAsNulls": True}
        parts = [("project-name", None, b"names"), ("format", None, b"text/line-based/*sv"),
                 ("options", None, json.dumps(options).encode())]
        with open(csv_path, "rb") as names:
            parts.append(("project-file", "names.csv", names.read()))
        body = b""
        for name, filename, value in parts:
            disposition = f'form-data; name="{name}"' + (f'; filename="{filename}"' if filename else "")
            body += f"--{boundary}\r\nContent-Disposition: {disposition}\r\n".encode()
            if filename:
                body += b"Content-Type: text/csv\r\n"
            body += b"\r\n" + value + b"\r\n"
        body += f"--{boundary}--\r\n".encode()
        status, headers, answer = self.request("POST", "create-project-from-upload", {"csrf_token": self.token},
                                               body, {"Content-Type": f"multipart/form-data; boundary={boundary}"})
        found = re.search(r"project=(\d+)", headers.get("Location") or "")
        if status != 302 or not found:
            raise SystemExit(f"OpenRefine made no project ({status}, {headers.get('Location')}): "
                             f"{answer[:500]!r} {self.log()}")
        return found.group(1)

    def apply(self, project, operations):
        """Applies OPERATIONS and waits until OpenRefine has finished them."""
        answer = json.loads(self.post("apply-operations", project, {"operations": json.dumps(operations)}))
        if answer.get("code") not in ("ok", "pending"):
            raise SystemExit(f"OpenRefine refused {operations[0]['op']}: {answer}")
        deadline = time.monotonic() + WORK
        while processes := self.get("get-processes", project=project)["processes"]:
            if time.monotonic() > deadline:
                raise SystemExit(f"{operations[0]['op']} still runs after {WORK} s: {processes}")
            time.sleep(0.2)

    def export_csv(self, project):
        answer = self.post("export-rows", project, {"format": "csv", "engine": ROW_BASED})
        return list(csv.DictReader(io.StringIO(answer.decode("utf-8"))))


def main():
    vantel, records = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    refine = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else "/usr/share/openrefine/refine")
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="vantel-openrefine-") as folder:
        served, queries = write_inputs(records, folder)
        with open(queries, encoding="utf-8", newline="") as names:
            expected = {row["id"]: {"name": row["name"], "match_id": ""} for row in csv.DictReader(names)}
        for row in vantel_match(vantel, queries, served,
                                ["--top", "1", "--method", str(METHOD), "--threshold", str(THRESHOLD)]):
            # Auto-match writes the name of the record matched into the cell.
            expected[row["query_id"]] = {"name": row["candidate_name"], "match_id": row["candidate_id"]}
        matched = sum(1 for row in expected.values() if row["match_id"])
        if matched < len(expected) // 2 or matched == len(expected):
            raise SystemExit(f"vantel match matched {matched} of {len(expected)}; this test needs both kinds")

        with vantel_serve(vantel, ["--column", "name", "--id", "id", "--method", str(METHOD), "--threshold",
                                   str(THRESHOLD), served], folder) as base:
            service = base + "reconcile"
            manifest = json.loads(urllib_get(service))
            refine_server = OpenRefine(refine, folder)
            try:
                project = refine_server.create_project(queries)
                refine_server.apply(project, [{
                    "op": "core/recon", "engineConfig": json.loads(ROW_BASED), "columnName": "name",
                    "config": {"mode": "standard-service", "service": service,
                               "identifierSpace": manifest["identifierSpace"], "schemaSpace": manifest["schemaSpace"],
                               "type": manifest["defaultTypes"][0], "autoMatch": True, "columnDetails": [],
                               "limit": 0},
                    "description": "Reconcile the names against vantel serve"}])
                refine_server.apply(project, [{
                    "op": "core/column-addition", "engineConfig": json.loads(ROW_BASED), "baseColumnName": "name",
                    "newColumnName": "match_id", "columnInsertIndex": 2, "onError": "set-to-blank",
                    "expression": "grel:cell.recon.match.id",
                    "description": "The ids of the records matched"}])
                exported = refine_server.export_csv(project)
            finally:
                refine_server.close()

        got = {row["id"]: {"name": row["name"], "match_id": row["match_id"]} for row in exported}
        wrong = {key: (got.get(key), want) for key, want in expected.items() if got.get(key) != want}
        if wrong or len(got) != len(expected):
            raise SystemExit(f"OpenRefine's matches differ from vantel match --top 1 in {len(wrong)} of "
                             f"{len(expected)} rows (OpenRefine, vantel match): {wrong}")
    print(f"OpenRefine matched {matched} of {len(expected)} names as vantel match --top 1 does "
          f"({time.monotonic() - started:.1f} s)")


def urllib_get(url):
    """The body of a GET on URL, which must answer 200."""
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=WORK)
    try:
        connection.request("GET", parts.path)
        answer = connection.getresponse()
        body = answer.read()
        if answer.status != 200:
            raise SystemExit(f"GET {url} answered {answer.status}: {body[:500]!r}")
        return body
    finally:
        connection.close()


if __name__ == "__main__":
    main()
