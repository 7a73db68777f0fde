#!/usr/bin/env python3
"""Opens the search page of the real `vantel serve` in headless Chromium,
types names into it key by key, and checks that the table it shows is what
`vantel match --explain` gives for the page's method, threshold and top; and
that a threshold the server refuses shows the server's error.
Usage: search_page_test.py VANTEL RECORDS.csv [CHROMIUM]

Chromium is driven over its DevTools pipe (--remote-debugging-pipe: commands
in on descriptor 3, answers out on 4, each a JSON text ended by a NUL), which
needs nothing beyond the standard library."""

import contextlib
import csv
import fcntl
import json
import os
import select
import subprocess
import sys
import tempfile
import time

from serving import stop, vantel_match, vantel_serve

# The page's own defaults (server/SearchPage.html): larger of the two, 60, 10.
PAGE_OPTIONS = ["--method", "0", "--threshold", "60", "--top", "10"]
QUERIES = [
    "Margaret Jonson",  # several candidates, one of them a close spelling
    "Xqzt Vvv",  # no candidate at all
    "Zoë Müller",  # letters typed that are not ASCII
    "Thomas Gonzales",  # last, so that the error below has rows to clear
]
STARTUP, ANSWER = 60, 30  # seconds; generous, for a loaded machine


class DevToolsPipe:
    """A browser-level DevTools connection over Chromium's pipe."""

    def __init__(self, chromium, profile):
        commands_read, self._commands = os.pipe()
        self._answers, answers_write = os.pipe()

        def at_3_and_4():
            # Both ends moved above 4 first, so that neither dup2 overwrites
            # the other when the pipes were given descriptors 3 or 4 here.
            high_read = fcntl.fcntl(commands_read, fcntl.F_DUPFD, 5)
            high_write = fcntl.fcntl(answers_write, fcntl.F_DUPFD, 5)
            os.dup2(high_read, 3)
            os.dup2(high_write, 4)

        self.log_path = os.path.join(profile, "chromium.log")
        # Chromium keeps its lock socket in TMPDIR and its crash reports under
        # XDG_CONFIG_HOME, outside the profile; both go into the profile too.
        home = {"HOME": profile, "TMPDIR": profile, "XDG_CONFIG_HOME": os.path.join(profile, "config"),
                "XDG_CACHE_HOME": os.path.join(profile, "cache")}
        with open(self.log_path, "w", encoding="utf-8") as log:
            # Root in a container has no user namespaces for the sandbox, and
            # there is no GPU.
            self.process = subprocess.Popen(
                [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
                 "--no-first-run", "--no-default-browser-check", "--disable-extensions",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--disable-crash-reporter", "--disable-breakpad",
                 f"--user-data-dir={profile}", "about:blank"],
                env={**os.environ, **home}, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                pass_fds=(3, 4), preexec_fn=at_3_and_4, start_new_session=True)
        os.close(commands_read)
        os.close(answers_write)
        self._received = b""
        self._next_id = 0

    def close(self):
        try:
            if self.process.poll() is None:
                # Asked to close, it removes its lock; a signal leaves it.
                with contextlib.suppress(SystemExit, OSError):
                    self.send("Browser.close", timeout=10)
                with contextlib.suppress(subprocess.TimeoutExpired):
                    self.process.wait(timeout=10)
        finally:
            stop(self.process, "chromium")
            os.close(self._commands)
            os.close(self._answers)

    def _message(self, timeout):
        """The next message Chromium writes, or None after TIMEOUT seconds."""
        deadline = time.monotonic() + timeout
        while b"\0" not in self._received:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._answers], [], [], left)[0]:
                return None
            chunk = os.read(self._answers, 1 << 16)
            if not chunk:
                raise SystemExit(f"chromium closed its DevTools pipe: {self.log()}")
            self._received += chunk
        message, self._received = self._received.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None, timeout=ANSWER):
        """Sends a command and returns its result; a DevTools error fails the test."""
        self._next_id += 1
        command = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        os.write(self._commands, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            message = self._message(deadline - time.monotonic())
            if message is None:
                raise SystemExit(f"chromium did not answer {method} within {timeout} s: {self.log()}")
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise SystemExit(f"chromium refused {method}: {message['error']}")
                return message["result"]
            # Anything else is an event, which this test does not follow.

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()[-3000:]


class Page:
    """One tab, attached in flat mode: its commands carry its session id."""

    def __init__(self, browser, url):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.send("Page.navigate", {"url": url})
        self.wait_for("document.readyState === 'complete' && document.getElementById('query') !== null",
                      "the search page to load")

    def send(self, method, params=None):
        return self.browser.send(method, params, self.session)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise SystemExit(f"the page threw on {expression!r}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, what, timeout=ANSWER):
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise SystemExit(f"waited {timeout} s for {what}; the page shows {self.shown()}")
            time.sleep(0.05)

    def type_into(self, field, text):
        """Empties FIELD as a user would (select all, Backspace) and types TEXT key by key."""
        self.evaluate(f"document.getElementById({json.dumps(field)}).focus()")
        self.evaluate(f"document.getElementById({json.dumps(field)}).select()")
        self.send("Input.dispatchKeyEvent", {"type": "rawKeyDown", "key": "Backspace", "code": "Backspace",
                                             "windowsVirtualKeyCode": 8})
        self.send("Input.dispatchKeyEvent", {"type": "keyUp", "key": "Backspace", "code": "Backspace",
                                             "windowsVirtualKeyCode": 8})
        for letter in text:
            self.send("Input.dispatchKeyEvent", {"type": "keyDown", "key": letter, "text": letter})
            self.send("Input.dispatchKeyEvent", {"type": "keyUp", "key": letter})
        typed = self.evaluate(f"document.getElementById({json.dumps(field)}).value")
        if typed != text:
            raise SystemExit(f"typed {text!r} into #{field}, which holds {typed!r}")

    def shown(self):
        """The status line, whether it is an error, and the table's rows."""
        return self.evaluate("""(() => {
            const status = document.getElementById('status');
            return {status: status.textContent, error: status.className === 'error',
                    answers: status.dataset.query === undefined ? null : status.dataset.query,
                    rows: [...document.querySelectorAll('#candidates tr')].map(
                        (tr) => [...tr.cells].map((td) => td.textContent))};
        })()""")


def expected_rows(vantel, records, folder):
    """Per query, the rows the page must show: vantel match --explain with the page's options."""
    queries = os.path.join(folder, "queries.csv")
    with open(queries, "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["id", "name"])
        writer.writerows([f"q{n}", query] for n, query in enumerate(QUERIES))
    expected = {query: [] for query in QUERIES}
    for row in vantel_match(vantel, queries, records, [*PAGE_OPTIONS, "--explain"]):
        expected[row["query_name"]].append([str(row["candidate_id"]), row["candidate_name"], str(row["answer"]),
                                            str(row["sound"]), str(row["spelling"])])
    if sum(1 for rows in expected.values() if rows) < 3 or expected["Xqzt Vvv"] or not expected[QUERIES[-1]]:
        raise SystemExit(f"the queries do not find what this test needs: {expected}")
    return expected


def main():
    vantel, records = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    chromium = sys.argv[3] if len(sys.argv) > 3 else "chromium"
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="vantel-page-") as folder:
        expected = expected_rows(vantel, records, folder)
        with vantel_serve(vantel, ["--column", "name", "--id", "id", records], folder) as base:
            profile = os.path.join(folder, "chromium")
            os.mkdir(profile)
            browser = DevToolsPipe(chromium, profile)
            try:
                browser.send("Browser.getVersion", timeout=STARTUP)
                page = Page(browser, base)
                for query in QUERIES:
                    page.type_into("query", query)
                    want_status = {0: "No candidates.", 1: "1 candidate."}.get(len(expected[query]),
                                                                               f"{len(expected[query])} candidates.")
                    want = {"status": want_status, "error": False, "answers": query, "rows": expected[query]}
                    # A request can go out before the last key when the
                    # machine is slow; only the answer to the whole name
                    # counts, and the page says which query it answers.
                    deadline = time.monotonic() + ANSWER
                    while (shown := page.shown()) != want:
                        if time.monotonic() > deadline:
                            raise SystemExit(f"{query}: the page shows {shown}, vantel match gives {want}")
                        time.sleep(0.05)
                    print(f"{query}: {want_status}")

                # A threshold out of range: the server's own message, in red,
                # and no rows left over from the answer before.
                page.type_into("threshold", "150")
                error = page.wait_for("document.getElementById('status').className === 'error' && "
                                      "document.getElementById('status').textContent",
                                      "the error of a threshold of 150")
                if "threshold" not in error or page.shown()["rows"]:
                    raise SystemExit(f"a threshold of 150 shows {page.shown()}")
                print(f"threshold 150: {error}")
            finally:
                browser.close()
    print(f"the search page shows what vantel match gives ({time.monotonic() - started:.1f} s)")


if __name__ == "__main__":
    main()
