"""A process forked while other threads are inside vantel.match: the child
inherits only the forking thread, so any lock those threads held stays
locked in it for ever. The child must still match, at once.

Runs in a process of its own, so that the threads and children of the
experiment never share pytest's process and a hang is bounded by timeouts."""

import json
import subprocess
import sys
import textwrap
from pathlib import Path

PARENT = textwrap.dedent(
    r"""
    import json, multiprocessing, random, sys, threading, time
    sys.path.insert(0, sys.argv[1])
    import vantel
    from namegen import names

    forks, seconds = int(sys.argv[2]), float(sys.argv[3])
    rng = random.Random(3)
    letters = "abcdefghijklmnopqrstuvwxyz"
    # Distinct strings at threshold 100: the runs are mostly transcription,
    # where the threads' shared state (if any) is used most. More threads
    # than processors, each match on one: forks land in every phase of a run.
    busy = ["".join(rng.choices(letters, k=rng.randrange(4, 12))) for _ in range(4000)]
    small = names(50, seed=8)
    expected = list(vantel.match(small))

    def child(queue):
        queue.put(list(vantel.match(small)) == expected)

    stop = threading.Event()
    def loop():
        while not stop.is_set():
            vantel.match(busy, threshold=100, workers=1)
    threads = [threading.Thread(target=loop) for _ in range(4)]
    for thread in threads:
        thread.start()

    context = multiprocessing.get_context("fork")
    queue = context.Queue()
    children = []
    started = time.monotonic()
    while len(children) < forks and time.monotonic() - started < seconds:
        process = context.Process(target=child, args=(queue,))
        process.start()
        children.append(process)
    stop.set()
    for thread in threads:
        thread.join()

    # A child that has not matched 50 names in 5 s will not.
    deadline = time.monotonic() + 5
    for process in children:
        process.join(max(0.0, deadline - time.monotonic()))
    hung = [process for process in children if process.is_alive()]
    for process in hung:
        process.kill()
        process.join()
    answers = [queue.get(timeout=5) for _ in range(len(children) - len(hung))]
    print(json.dumps({
        "forked": len(children),
        "hung": len(hung),
        "failed": sum(process.exitcode != 0 for process in children if process not in hung),
        "wrong": answers.count(False),
    }))
    """
)


def test_a_child_forked_during_matches_matches_at_once(tmp_path):
    script = tmp_path / "parent.py"
    script.write_text(PARENT)
    here = str(Path(__file__).parent)
    done = subprocess.run(
        [sys.executable, str(script), here, "1000", "5"], capture_output=True, text=True, timeout=120
    )
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout)
    # Enough forks while the threads were busy that a lock held by them would be inherited.
    assert report["forked"] >= 100, report
    assert report == {"forked": report["forked"], "hung": 0, "failed": 0, "wrong": 0}
