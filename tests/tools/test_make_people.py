#!/usr/bin/env python3
"""The people generator (tools/make_people.py) as its users run it: a process.

Standard library only, so that CTest runs it with any Python 3.11 and pytest
collects it too. The generator's checks of its own parts run through
--self-test; here, from the outside: the same seed gives the same bytes, the
stats it prints agree with the file it wrote, bad arguments fail loudly, and
data/people.csv is what its documented command writes.
"""
import csv
import io
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "tools", "make_people.py")
HEADER = ["id", "given_name", "surname", "birth_date", "street", "town", "postcode", "email", "phone", "person_id"]


def run(*args):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, timeout=120)


def parse_stats(stderr):
    stats = {}
    for line in stderr.decode().splitlines():
        key, value = line.split()
        stats[key] = int(value)
    return stats


class MakePeopleTest(unittest.TestCase):
    def test_self_test_passes(self):
        result = run("--self-test")
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertIn(b"all checks passed", result.stderr)

    def test_seed_decides_the_bytes(self):
        first = run("--count", "1500", "--seed", "5")
        again = run("--count", "1500", "--seed", "5")
        other = run("--count", "1500", "--seed", "6")
        for result in (first, again, other):
            self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.assertEqual(first.stdout, again.stdout)
        self.assertNotEqual(first.stdout, other.stdout)

    def test_stats_describe_the_file_written(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "people.csv")
            result = run("--count", "3000", "--seed", "9", "--out", path, "--stats")
            self.assertEqual(result.returncode, 0, result.stderr.decode())
            self.assertEqual(result.stdout, b"")
            with open(path, "rb") as stream:
                written = stream.read()
        self.assertEqual(written, run("--count", "3000", "--seed", "9").stdout)
        stats = parse_stats(result.stderr)
        rows = list(csv.reader(io.StringIO(written.decode("utf-8"))))
        self.assertEqual(rows[0], HEADER)
        rows = rows[1:]
        self.assertEqual(len(rows), 3000)
        self.assertEqual(len({row[0] for row in rows}), len(rows))
        sizes = {}
        for row in rows:
            sizes[row[-1]] = sizes.get(row[-1], 0) + 1
        self.assertEqual(stats["rows"], len(rows))
        self.assertEqual(stats["entities"], len(sizes))
        self.assertEqual(stats["duplicates"], len(rows) - len(sizes))
        for extra in range(4):
            with self.subTest(extra=extra):
                self.assertEqual(stats[f"entities_with_{extra}_duplicates"],
                                 sum(1 for n in sizes.values() if n == extra + 1))
        self.assertEqual(max(sizes.values()), 4)
        share = 1 - stats["entities_with_0_duplicates"] / stats["entities"]
        self.assertGreaterEqual(share, 0.2)
        self.assertLessEqual(share, 0.3)
        # Every kind of change and of hard non-match is planted, and the
        # changes are at least one per duplicate row.
        changes = {k: v for k, v in stats.items() if k.startswith("change_")}
        self.assertEqual(len(changes), 10)
        for key, value in stats.items():
            if key != "entities_with_0_duplicates":
                with self.subTest(key=key):
                    self.assertGreater(value, 0)
        self.assertGreaterEqual(sum(changes.values()), stats["duplicates"])
        self.assertLessEqual(sum(changes.values()), 3 * stats["duplicates"])
        self.assertGreater(stats["pairs_relatives_at_one_address"],
                           stats["pairs_twins"] + stats["pairs_father_son_same_given_name"])

    def test_common_names_repeat_among_strangers(self):
        rows = list(csv.DictReader(io.StringIO(run("--count", "3000", "--seed", "2").stdout.decode())))
        people = {}
        for row in rows:
            people.setdefault((row["given_name"], row["surname"]), set()).add(row["person_id"])
        commonest = max(len(ids) for ids in people.values())
        self.assertGreaterEqual(commonest, 5)
        surnames = {}
        for row in rows:
            surnames[row["surname"]] = surnames.get(row["surname"], 0) + 1
        counts = sorted(surnames.values(), reverse=True)
        # Skewed: the commonest surname is far more frequent than the median one.
        self.assertGreater(counts[0], 10 * counts[len(counts) // 2])

    def test_bad_arguments_fail_with_their_name(self):
        cases = [
            (["--count", "0"], b"--count"),
            (["--count", "many"], b"--count"),
            (["--seed", "x1"], b"--seed"),
            (["--out", os.path.join(ROOT, "no-such-folder", "people.csv"), "--count", "10"], b"no-such-folder"),
        ]
        for args, named in cases:
            with self.subTest(args=args):
                result = run(*args)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(named, result.stderr)
                self.assertEqual(result.stdout, b"")

    def test_failed_write_leaves_nothing_behind(self):
        # A folder where the file should go: the rename fails after the rows are written.
        with tempfile.TemporaryDirectory() as folder:
            target = os.path.join(folder, "people.csv")
            os.mkdir(target)
            result = run("--count", "10", "--out", target)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(target.encode(), result.stderr)
            self.assertEqual(os.listdir(folder), ["people.csv"])
            self.assertEqual(os.listdir(target), [])

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_full_disk_on_standard_output_is_an_error(self):
        with open("/dev/full", "wb") as full:
            result = subprocess.run([sys.executable, SCRIPT, "--count", "2000"], stdout=full,
                                    stderr=subprocess.PIPE, timeout=120)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"cannot write standard output", result.stderr)

    def test_sample_file_is_what_its_command_writes(self):
        result = run("--count", "5000", "--seed", "20240723")
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        with open(os.path.join(ROOT, "data", "people.csv"), "rb") as stream:
            self.assertEqual(stream.read(), result.stdout)


if __name__ == "__main__":
    unittest.main()
