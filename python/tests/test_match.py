"""match, extract, extract_one and cdist against brute-force loops over
vantel.compare; rejections; argument checks; the GIL."""

import threading
import time

import numpy as np
import pytest

import vantel
from namegen import names

# Near-duplicates and strangers, with strings that cannot be compared among them.
LIST = names(240, seed=5)
LIST[17] = ""
LIST[101] = "x" * 71
LIST[150] = LIST[3]  # a duplicate string
OTHERS = names(90, seed=6) + ["", "Jeffrey Baker"]
METHODS = (0, 2, 3, 99)


def _scores(queries, candidates, method):
    return {(i, j): vantel.compare(q, c, method) for i, q in enumerate(queries) for j, c in enumerate(candidates)}


_SCORES = {}


def scores(method, two_lists):
    key = (method, two_lists)
    if key not in _SCORES:
        _SCORES[key] = _scores(LIST, OTHERS if two_lists else LIST, method)
    return _SCORES[key]


def brute_force(method, threshold, top, two_lists):
    """The pairs of the vantel command, from compare alone."""
    table = scores(method, two_lists)
    count = len(OTHERS if two_lists else LIST)
    pairs = []
    for i in range(len(LIST)):
        row = [(j, table[i, j]) for j in range(0 if two_lists else i + 1, count)]
        row = [(j, a) for j, a in row if a >= threshold]
        row.sort(key=lambda item: (-item[1], item[0]))
        pairs += [(i, j, a) for j, a in row[: top or None]]
    return pairs


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("threshold", [0, 55, 80, 95.5])
@pytest.mark.parametrize("top", [None, 1, 3])
@pytest.mark.parametrize("two_lists", [False, True])
def test_match_equals_a_loop_over_compare(method, threshold, top, two_lists):
    expected = brute_force(method, threshold, top, two_lists)
    for workers in (1, 3):
        found = vantel.match(LIST, OTHERS if two_lists else None, method=method, threshold=threshold, top=top, workers=workers)
        assert list(found) == expected
        assert found.query.dtype == found.candidate.dtype == np.int64 and found.answer.dtype == np.float64
        assert len(found) == len(expected)


def test_match_reports_every_string_it_leaves_out():
    found = vantel.match(LIST, OTHERS, threshold=50)
    assert found.rejected == [
        vantel.Rejection("queries", 17, 17, "empty string"),
        vantel.Rejection("queries", 101, 101, "longer than 70 UTF-16 code units (71)"),
        vantel.Rejection("candidates", 90, 90, "empty string"),
    ]
    assert not {17, 101} & set(found.query.tolist()) and 90 not in set(found.candidate.tolist())
    assert vantel.match(LIST, threshold=50).rejected == found.rejected[:2]


def test_match_takes_any_iterable_and_a_dict():
    expected = list(vantel.match(LIST, threshold=70))
    assert list(vantel.match(iter(LIST), threshold=70)) == expected
    assert list(vantel.match(tuple(LIST), threshold=70)) == expected
    assert list(vantel.match(np.array(LIST), threshold=70)) == expected
    keyed = {f"k{i}": name for i, name in enumerate(LIST)}
    frame = vantel.match(keyed, threshold=70, as_frame=True)
    assert list(zip(frame["query"], frame["candidate"], frame["answer"])) == [(f"k{i}", f"k{j}", a) for i, j, a in expected]
    assert vantel.match(keyed, threshold=70).rejected[0] == vantel.Rejection("queries", 17, "k17", "empty string")


def test_match_of_nothing():
    assert list(vantel.match([])) == [] and list(vantel.match(["a"])) == [] and list(vantel.match([], ["a"])) == []
    assert list(vantel.match(["abc"], ["abc"], threshold=100)) == [(0, 0, 100.0)]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: vantel.match(["a", "b", 3]), r"^queries\[2\] must be str, not int"),
        (lambda: vantel.match(["a"], ["b", None]), r"^candidates\[1\] must be str, not NoneType"),
        (lambda: vantel.match(["a", b"b"]), r"^queries\[1\] must be str, not bytes"),
        (lambda: vantel.match("abc"), "not a single str"),
        (lambda: vantel.match(5), "iterable of str"),
        (lambda: vantel.extract(3, ["a"]), "^query must be str"),
        (lambda: vantel.extract("a", ["a", 2.5]), r"^choices\[1\] must be str, not float"),
        (lambda: vantel.cdist(["a", 1], ["b"]), r"^queries\[1\] must be str"),
        (lambda: vantel.match(["a"], threshold="80"), "threshold must be a number"),
    ],
)
def test_a_non_str_item_is_a_type_error_naming_its_position(call, message):
    with pytest.raises(TypeError, match=message):
        call()


@pytest.mark.parametrize(
    "options",
    [
        {"threshold": -0.5},
        {"threshold": 100.01},
        {"threshold": float("nan")},
        {"top": 0},
        {"top": -2},
        {"workers": -3},
        {"workers": 1025},
    ],
)
def test_options_out_of_range_are_refused(options):
    with pytest.raises(ValueError):
        vantel.match(["a", "b"], **options)


def brute_extract(query, choices, method, threshold, limit):
    scored = [(c, vantel.compare(query, c, method), i) for i, c in enumerate(choices)]
    scored = [item for item in scored if item[1] >= threshold]
    scored.sort(key=lambda item: (-item[1], item[2]))
    return scored[:limit]


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize("threshold", [0, 60, 90])
def test_extract_equals_a_loop_over_compare(method, threshold):
    for query in (LIST[0], LIST[3], "Jeff Baker", "Zzyzx"):
        for limit in (1, 5, None):
            assert vantel.extract(query, LIST, limit=limit, method=method, threshold=threshold) == brute_extract(
                query, LIST, method, threshold, limit
            )
        best = brute_extract(query, LIST, method, threshold, 1)
        assert vantel.extract_one(query, LIST, method=method, threshold=threshold) == (best[0] if best else None)


def test_extract_keys_and_ties():
    choices = {"a": "Smith", "b": "Smyth", "c": "Smith", "d": ""}
    assert vantel.extract("Smith", choices, limit=None, method=99) == [("Smith", 100.0, "a"), ("Smith", 100.0, "c"), ("Smyth", 80.0, "b")]
    assert vantel.extract_one("Smith", (name for name in ["Smyth", "Smith"]), method=99) == ("Smith", 100.0, 1)
    assert vantel.extract_one("", ["a"]) is None and vantel.extract("Smith", []) == []
    assert vantel.extract_one("Smith", ["Jones"], threshold=99) is None


def test_cdist_is_the_matrix_of_compare():
    for method in (0, 2, 99):
        matrix = vantel.cdist(LIST[:60], OTHERS, method=method, workers=2)
        assert matrix.shape == (60, len(OTHERS)) and matrix.dtype == np.float64
        expected = np.array([[vantel.compare(q, c, method) for c in OTHERS] for q in LIST[:60]])
        np.testing.assert_array_equal(matrix, expected)  # -1.0 where a string is refused
    square = vantel.cdist(LIST[:30])
    np.testing.assert_array_equal(square, [[vantel.compare(a, b) for b in LIST[:30]] for a in LIST[:30]])


def test_cdist_refuses_a_matrix_too_large_until_allowed():
    with pytest.raises(ValueError, match=r"100,000 queries and 100,000 candidates .*\(80.0 GB\).*max_cells"):
        vantel.cdist(["a"] * 100_000, ["b"] * 100_000)
    with pytest.raises(ValueError, match="max_cells=100"):
        vantel.cdist(["a"] * 11, ["b"] * 10, max_cells=100)
    assert vantel.cdist(["a"] * 10, ["b"] * 10, max_cells=100).shape == (10, 10)


def test_match_releases_the_gil():
    # About a million pairs, each scored in full at threshold 0: a few tenths
    # of a second, long enough for the loop below to take many turns.
    long_list = names(1500, seed=9)
    done = threading.Event()
    turns = 0

    def run():
        vantel.match(long_list, threshold=0, workers=1)
        done.set()

    worker = threading.Thread(target=run)
    start = time.perf_counter()
    worker.start()
    while not done.is_set():
        turns += 1  # each turn needs the GIL back
        time.sleep(0.001)
    worker.join()
    elapsed = time.perf_counter() - start
    # Were the GIL held for the run, this loop would get no turn until the end.
    assert elapsed > 0.1 and turns > 0.2 * elapsed / 0.001
