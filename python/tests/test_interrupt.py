"""Ctrl-C during a long match: KeyboardInterrupt within a second, every
worker thread ended, no memory left behind. Runs in a child process that
receives real SIGINTs."""

import json
import subprocess
import sys
import textwrap

import pytest

CHILD = textwrap.dedent(
    r"""
    import json, os, signal, sys, threading, time
    # A shell that starts the tests in the background has Ctrl-C ignored, and
    # Python then keeps it ignored: what is tested is the answer to Ctrl-C.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    sys.path.insert(0, sys.argv[1])
    import vantel
    from namegen import names

    def threads():
        return len(os.listdir("/proc/self/task"))

    def rss_mb():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") / 2**20

    strings = names(6000, seed=11)  # threshold 0: 18 million pairs, each scored in full
    start_threads = threads()
    latencies, ran, rss = [], [], []
    for attempt in range(6):
        sent = []
        def interrupt():
            time.sleep(0.4)
            sent.append(time.monotonic())
            os.kill(os.getpid(), signal.SIGINT)
        threading.Thread(target=interrupt).start()
        started = time.monotonic()
        try:
            vantel.match(strings, threshold=0, workers=2)
            outcome = "finished"
        except KeyboardInterrupt:
            outcome = "interrupted"
        ended = time.monotonic()
        time.sleep(0.05)  # the sender thread ends
        latencies.append(ended - sent[0] if sent else None)
        ran.append(outcome)
        rss.append(rss_mb())
    print(json.dumps({"latencies": latencies, "outcomes": ran, "rss": rss,
                      "threads": [start_threads, threads()]}))
    """
)


PREPARING = textwrap.dedent(
    r"""
    import ast, json, os, random, signal, sys, threading, time
    # A shell that starts the tests in the background has Ctrl-C ignored, and
    # Python then keeps it ignored: what is tested is the answer to Ctrl-C.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    import vantel
    options = ast.literal_eval(sys.argv[1])

    rng = random.Random(5)
    letters = "abcdefghijklmnopqrstuvwxyz"
    # Distinct strings: their transcription alone takes seconds.
    strings = ["".join(rng.choices(letters, k=rng.randrange(12, 30))) for _ in range(1_000_000)]
    start = time.monotonic()
    vantel.match(strings[:20_000], [], workers=2, **options)  # the preparation of 20,000 strings, no pairs
    per_string = (time.monotonic() - start) / 20_000
    sent = []
    def interrupt():
        time.sleep(0.3)
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)
    threading.Thread(target=interrupt).start()
    try:
        vantel.match(strings, [], workers=2, **options)
        outcome = "finished"
    except KeyboardInterrupt:
        outcome = "interrupted"
    print(json.dumps({"outcome": outcome, "latency": time.monotonic() - sent[0],
                      "preparation": per_string * len(strings)}))
    """
)


# Plain strings, and the forms of names (made before their transcription).
NAME_FORMS = {"order": "any", "nicknames": True, "transliterate": True}


@pytest.mark.parametrize("options", [{}, NAME_FORMS], ids=["plain", "name forms"])
def test_ctrl_c_stops_the_preparation_of_a_long_list(tmp_path, options):
    script = tmp_path / "preparing.py"
    script.write_text(PREPARING)
    child = [sys.executable, str(script), repr(options)]
    done = subprocess.run(child, capture_output=True, text=True, timeout=180)
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout)
    assert report["outcome"] == "interrupted"
    # The preparation would go on well past the interrupt, sent 0.3 s in.
    assert report["preparation"] > 0.6 and report["latency"] < 1.0, report


def test_ctrl_c_stops_a_long_match_within_a_second_without_a_leak(tmp_path):
    script = tmp_path / "child.py"
    script.write_text(CHILD)
    here = str(__import__("pathlib").Path(__file__).parent)
    done = subprocess.run([sys.executable, str(script), here], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout)
    assert report["outcomes"] == ["interrupted"] * 6
    assert max(report["latencies"]) < 1.0, report
    # The workers are joined: the process is back to its threads before the runs.
    assert report["threads"][0] == report["threads"][1], report
    # The pairs kept before each interruption are freed: no growth from run to run.
    assert report["rss"][-1] - report["rss"][1] < 20, report
