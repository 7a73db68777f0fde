"""Every numeric argument of the package, out of its range: a short
ValueError that names the argument, raised before any work, whatever the
size of the lists given with it (never a conversion error that repeats
them)."""

import math

import numpy as np
import pandas
import pytest

import vantel
from namegen import names

# Long enough that a message repeating the list would be hundreds of kilobytes.
NAMES = names(20_000, seed=21)
SMALL = NAMES[:300]  # cdist's matrix stays small, so that its size is not the complaint
FRAME = pandas.DataFrame({"name": NAMES})
SERIES = pandas.Series(NAMES)

HUGE = [2**32, 2**64, 2**200, 10**5000]  # past 32 and 64 bits, and too long to print
COUNTS = [0, -1, -(2**64)] + HUGE[1:]  # top and limit: 2**32 is a valid count
WORKERS = [-2, 1025, *HUGE, -(2**70)]
THRESHOLDS = [-0.01, 100.001, math.nan, math.inf, -math.inf, 10**400, -(2**64), np.float64(1e300)]
METHODS = [32768, -32769, np.int64(2**40), *HUGE, -(10**5000)]
CELLS = [-1, 2**63, 2**64, 10**5000]
PARTITIONS = [0, -1, 2**63, 2**64, 10**5000]

CALLS = {
    "match": lambda **kw: vantel.match(NAMES, **kw),
    "match two lists": lambda **kw: vantel.match(NAMES, NAMES[::-1], **kw),
    "groups": lambda **kw: vantel.groups(NAMES, **kw),
    "dedupe": lambda **kw: vantel.dedupe(FRAME, "name", **kw),
    "cdist": lambda **kw: vantel.cdist(SMALL, **kw),
    "extract": lambda **kw: vantel.extract("Jeff Baker", NAMES, **kw),
    "extract_one": lambda **kw: vantel.extract_one("Jeff Baker", NAMES, **kw),
    "compare": lambda **kw: vantel.compare("Smith", "Smyth", **kw),
    "CompareUS.compare": lambda **kw: vantel.CompareUS().compare("Smith", "Smyth", **kw),
    "CompareUS.Compare": lambda **kw: vantel.CompareUS().Compare("Smith", "Smyth", **kw),
    "dask.match": lambda **kw: _dask().match(SERIES, **{"npartitions": 2, **kw}),
    "dask.groups": lambda **kw: _dask().groups(SERIES, **{"npartitions": 2, **kw}),
}

ARGUMENTS = {
    "match": {"workers": WORKERS, "top": COUNTS, "threshold": THRESHOLDS, "method": METHODS},
    "match two lists": {"workers": WORKERS, "top": COUNTS, "threshold": THRESHOLDS, "method": METHODS},
    "groups": {"workers": WORKERS, "threshold": THRESHOLDS, "method": METHODS},
    "dedupe": {"workers": WORKERS, "threshold": THRESHOLDS, "method": METHODS},
    "cdist": {"workers": WORKERS, "method": METHODS, "max_cells": CELLS},
    "extract": {"limit": COUNTS, "threshold": THRESHOLDS, "method": METHODS},
    "extract_one": {"threshold": THRESHOLDS, "method": METHODS},
    "compare": {"method": METHODS},
    "CompareUS.compare": {"method": METHODS},
    "CompareUS.Compare": {"LaMethode": METHODS},
    "dask.match": {"top": COUNTS, "threshold": THRESHOLDS, "method": METHODS, "npartitions": PARTITIONS},
    "dask.groups": {"threshold": THRESHOLDS, "method": METHODS, "npartitions": PARTITIONS},
}


def _dask():
    return pytest.importorskip("vantel.dask")


CASES = [
    pytest.param(function, argument, value, id=f"{function}-{argument}-{index}")
    for function, arguments in ARGUMENTS.items()
    for argument, values in arguments.items()
    for index, value in enumerate(values)
]


@pytest.mark.parametrize("function, argument, value", CASES)
def test_an_argument_out_of_range_is_a_short_value_error_naming_it(function, argument, value):
    with pytest.raises(ValueError) as raised:
        CALLS[function](**{argument: value})
    message = str(raised.value)
    assert message.startswith(f"{argument} must be "), message
    assert len(message) < 200, message
    assert NAMES[0] not in message and SMALL[-1] not in message


@pytest.mark.parametrize(
    "function, argument, value",
    [
        ("match", "workers", 1024),
        ("match", "workers", 0),
        ("match", "workers", -1),
        ("match", "workers", np.int64(-1)),
        ("match", "top", 2**64 - 1),
        ("match", "threshold", 100),
        ("match", "method", -32768),
        ("extract", "limit", 2**64 - 1),
        ("cdist", "max_cells", 0),
        ("dask.match", "npartitions", 2**62),
    ],
)
def test_the_ends_of_each_range_are_taken(function, argument, value):
    small = {
        "match": lambda **kw: vantel.match(NAMES[:50], **kw),
        # Lazy: nothing is computed, but a partition per row would be a graph of 200 million tasks.
        "dask.match": lambda **kw: _dask().match(SERIES[:10], **kw),
    }
    call = small.get(function, CALLS[function])
    if function == "cdist":
        assert vantel.cdist([], **{argument: value}).shape == (0, 0)
    else:
        call(**{argument: value})


@pytest.mark.parametrize(
    "function, argument, value, kind",
    [
        ("match", "workers", 2.0, "float"),
        ("match", "top", "3", "str"),
        ("extract", "limit", 1.5, "float"),
        ("cdist", "max_cells", None, "NoneType"),
        ("dask.match", "npartitions", 2.0, "float"),
    ],
)
def test_an_argument_that_is_no_integer_is_a_type_error_naming_it(function, argument, value, kind):
    with pytest.raises(TypeError, match=f"^{argument} must be an int, not {kind}$"):
        CALLS[function](**{argument: value})


def test_a_method_out_of_range_is_still_the_overflow_error_and_pickles():
    import pickle

    with pytest.raises(vantel.VantelError) as raised:
        vantel.match(NAMES, method=2**64)
    error = pickle.loads(pickle.dumps(raised.value))
    assert isinstance(error, ValueError) and (error.number, error.description) == (6, "Overflow")
    assert str(error) == str(raised.value) == (
        "method must be from -32768 to 32767, not a number beyond 64 bits (run-time error 6: Overflow)"
    )
