"""vantel.compare, vantel.phonetic and vantel.CompareUS: the answers of the
vantel command, the length rule, UTF-16 code units, method numbers, errors."""

import importlib.metadata
import pickle
import random

import numpy as np
import pytest

import vantel
from namegen import misspell, names

METHODS = (0, 1, 2, 3, 99, -1, 4, 7, 100, 32767, -32768)
POOL = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ '-.0123456789éÉüÜßçñøÅłŁœ中文ё😀𝔸"


def _pairs(count):
    rng = random.Random(14)
    people = names(400, seed=3)
    pairs = []
    while len(pairs) < count:
        kind = rng.randrange(10)
        if kind < 4:
            first = rng.choice(people)
            pairs.append((first, misspell(rng, first)))
        elif kind < 7:
            pairs.append((rng.choice(people), rng.choice(people)))
        elif kind < 9:
            pairs.append(tuple("".join(rng.choice(POOL) for _ in range(rng.randrange(1, 20))) for _ in range(2)))
        else:  # at and around the length limit, and empty
            pairs.append(rng.choice([("", "abc"), ("abc", ""), ("a" * 70, "a" * 69), ("a" * 71, "a"), ("😀" * 35, "😀"), ("😀" * 36, "😀")]))
    return pairs


PAIRS = _pairs(5000)


@pytest.mark.parametrize("method", METHODS)
def test_compare_equals_the_command_on_5000_pairs(cli, method):
    text = "".join(f"{a}\t{b}\n" for a, b in PAIRS)
    lines = cli("compare", "--method", str(method), "--pairs", "-", input=text).splitlines()
    assert len(lines) == len(PAIRS)
    comparer = vantel.CompareUS()
    differences = []
    for (a, b), line in zip(PAIRS, lines):
        expected = float(line.rsplit("\t", 1)[1])
        answers = (vantel.compare(a, b, method), comparer.Compare(a, b, method), comparer.compare(a, b, method=method))
        if any(answer != expected for answer in answers):
            differences.append((a, b, expected, answers))
    assert differences == []
    # The pairs reach both ends of the scale and the refusal.
    seen = {float(line.rsplit("\t", 1)[1]) for line in lines}
    assert {-1.0, 100.0} <= seen and len(seen) > 100


def test_phonetic_equals_the_command(cli):
    words = sorted({word for a, b in PAIRS[:1000] for word in (a, b) if word and len(word) <= 70})
    forms = cli("phonetic", input="".join(f"{w}\n" for w in words)).splitlines()
    assert forms == [vantel.phonetic(word) for word in words]
    assert [vantel.CompareUS().phonetic_form(word) for word in words[:50]] == forms[:50]


@pytest.mark.parametrize(
    "a, b, answer",
    [
        ("", "abc", -1.0),
        ("abc", "", -1.0),
        ("", "", -1.0),
        ("a" * 70, "a" * 70, 100.0),
        ("a" * 71, "a" * 71, -1.0),
        ("😀" * 35, "😀" * 35, 100.0),  # 70 UTF-16 code units
        ("😀" * 35 + "a", "a", -1.0),  # 71 units, though 36 code points
    ],
)
def test_the_length_rule_counts_utf16_code_units(a, b, answer):
    assert vantel.compare(a, b, 99) == answer


def test_a_lone_surrogate_is_one_code_unit():
    # "a" + U+D83D alone against "a" + the pair U+D83D U+DE00: as code units
    # the two share 2 of 2 + 3 units (80); as code points only 1 of 2 + 2 (50).
    assert vantel.compare("a\ud83d", "a\U0001f600", 99) == 80.0
    assert vantel.compare("a\ud83d", "a\ud83d", 99) == 100.0
    assert vantel.compare("\udc00" * 70, "x", 99) == 0.0
    assert vantel.compare("\udc00" * 71, "x", 99) == -1.0
    # A lone surrogate survives the phonetic form's round trip when kept.
    form = vantel.phonetic("ab\ud800")
    assert isinstance(form, str)


@pytest.mark.parametrize("method", [True, False, np.int16(2), np.int64(3), -32768, 32767])
def test_any_integer_is_a_method(method):
    assert vantel.compare("Smith", "Smyth", method) == vantel.compare("Smith", "Smyth", int(method))


@pytest.mark.parametrize("method", [32768, -32769, 2**70, np.int64(40000)])
def test_a_method_outside_16_bits_is_the_overflow_error(method):
    with pytest.raises(vantel.VantelError) as raised:
        vantel.compare("a", "b", method)
    assert (raised.value.number, raised.value.description) == (6, "Overflow")
    assert isinstance(raised.value, ValueError)
    assert str(raised.value).startswith("method must be from -32768 to 32767, not ")
    assert str(raised.value).endswith(" (run-time error 6: Overflow)")
    assert isinstance(raised.value, RuntimeError)
    with pytest.raises(vantel.VantelError, match="^LaMethode must be"):
        vantel.CompareUS().Compare("a", "b", method)
    with pytest.raises(vantel.VantelError):
        vantel.match(["a", "b"], method=method)


@pytest.mark.parametrize("method", [2.0, "2", None])
def test_a_method_that_is_no_integer_is_a_type_error(method):
    with pytest.raises(TypeError, match="method"):
        vantel.compare("a", "b", method)


@pytest.mark.parametrize(
    "call, name",
    [
        (lambda: vantel.compare(1, "b"), "a"),
        (lambda: vantel.compare("a", b"b"), "b"),
        (lambda: vantel.compare("a", None), "b"),
        (lambda: vantel.CompareUS().Compare("a", 2, 0), "Lachaine2"),
        (lambda: vantel.CompareUS().Compare(None, "b", 0), "Lachaine1"),
        (lambda: vantel.phonetic(3), "word"),
    ],
)
def test_a_non_str_argument_is_a_type_error_naming_it(call, name):
    with pytest.raises(TypeError, match=f"^{name} must be str"):
        call()


def test_vantel_error_pickles_with_its_number():
    error = pickle.loads(pickle.dumps(vantel.VantelError(6, "Overflow")))
    assert (error.number, error.description, str(error)) == (6, "Overflow", "run-time error 6: Overflow")


def test_compare_us_keeps_its_rules():
    comparer = vantel.CompareUS()
    assert not comparer.initialized
    assert comparer.Compare("Catherine", "Kathryn", 2) == 56.25
    assert comparer.initialized
    comparer.InitVT()
    assert comparer.initialized
    assert comparer.Compare("Jon", "John", 2) == 67.85
    assert comparer.phonetic_form("knight") == vantel.phonetic("knight") == "nait"


def test_the_version_and_limit():
    assert vantel.__version__ == "1.0.0"
    # The installed distribution carries the library's version, not a second copy of it.
    assert importlib.metadata.version("vantel") == vantel.__version__
    assert vantel.MAX_LENGTH == 70
