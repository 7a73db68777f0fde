"""What the end-to-end tests of `vantel serve` share: starting it on a port
of its own choosing, asking `vantel match` for the answers it must give, and
stopping every process they start, whatever happened."""

import contextlib
import json
import os
import re
import signal
import socket
import subprocess
import time


def free_port():
    """A loopback port that nothing listens on now. For servers that cannot
    be told to choose one themselves; another process could take it before
    they do, which they then report as a failure to start."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def stop(process, name, wait=30):
    """Ends a process started with start_new_session, and all its children:
    SIGTERM first, SIGKILL when it does not end in time."""
    if process.poll() is None:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=wait)
        except subprocess.TimeoutExpired:
            print(f"{name} did not end {wait} s after SIGTERM; killing it")
            process.kill()
            process.wait()
    # Its children may outlive it a moment, still writing into the folder
    # that the test is about to remove.
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGKILL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            os.killpg(process.pid, 0)
            time.sleep(0.05)


@contextlib.contextmanager
def vantel_serve(vantel, arguments, folder, startup=60):
    """Runs `vantel serve --listen 127.0.0.1:0 ARGUMENTS` and yields its base
    address (http://127.0.0.1:PORT/) once it says where it listens."""
    log_path = os.path.join(folder, "vantel-serve.log")
    with open(log_path, "w+", encoding="utf-8") as log:
        server = subprocess.Popen([vantel, "serve", "--listen", "127.0.0.1:0", *arguments], stdout=log,
                                  stderr=subprocess.STDOUT, cwd=folder, start_new_session=True)
        try:
            deadline = time.monotonic() + startup
            while True:
                with open(log_path, encoding="utf-8") as said:
                    found = re.search(r"listening on (http://127\.0\.0\.1:\d+/)", said.read())
                if found:
                    break
                if server.poll() is not None or time.monotonic() > deadline:
                    with open(log_path, encoding="utf-8") as said:
                        raise SystemExit(f"vantel serve did not start (exit {server.poll()}): {said.read()!r}")
                time.sleep(0.05)
            yield found.group(1)
        finally:
            stop(server, "vantel serve")


def vantel_match(vantel, queries, records, options):
    """`vantel match` of QUERIES (CSV: id, name) against RECORDS (CSV: id,
    name): the rows it writes, in its order, as dictionaries."""
    run = subprocess.run([vantel, "match", *options, "--format", "json", "--column", "name", "--id", "id", "--quiet",
                          queries, records], capture_output=True, text=True, check=False)
    if run.returncode != 0:
        raise SystemExit(f"vantel match failed ({run.returncode}): {run.stderr}")
    return [json.loads(line) for line in run.stdout.splitlines()]
