"""pandas in and out: a Series' index as keys, DataFrames with other columns,
missing values rejected and reported."""

import numpy as np
import pytest

import vantel
from namegen import names

pandas = pytest.importorskip("pandas")

STRINGS = names(120, seed=31)


def labelled(strings):
    return pandas.Series(strings, index=[f"id-{i * 7}" for i in range(len(strings))], name="name")


def test_a_series_index_is_carried_into_the_frame():
    series = labelled(STRINGS)
    plain = vantel.match(STRINGS, threshold=70)
    frame = vantel.match(series, threshold=70, as_frame=True)
    assert list(frame.columns) == ["query", "candidate", "answer"]
    assert list(zip(frame["query"], frame["candidate"], frame["answer"])) == [
        (f"id-{q * 7}", f"id-{c * 7}", a) for q, c, a in plain
    ]
    # Positions without as_frame, whatever the index.
    assert list(vantel.match(series, threshold=70)) == list(plain)
    assert frame.attrs["rejected"] == []


def test_two_series_and_top():
    queries = pandas.Series(STRINGS[:40], index=np.arange(1000, 1040))
    candidates = labelled(STRINGS[40:])
    frame = vantel.match(queries, candidates, threshold=50, top=2, as_frame=True)
    plain = vantel.match(STRINGS[:40], STRINGS[40:], threshold=50, top=2)
    assert frame["query"].tolist() == [1000 + q for q in plain.query.tolist()]
    assert frame["candidate"].tolist() == [f"id-{c * 7}" for c in plain.candidate.tolist()]
    assert frame["query"].dtype == np.int64
    assert frame.groupby("query").size().max() <= 2


@pytest.mark.parametrize("missing", [None, np.nan, pandas.NA])
def test_missing_values_are_rejected_and_reported(missing):
    strings = list(STRINGS[:50])
    with_gaps = pandas.Series(strings, index=[f"r{i}" for i in range(50)], dtype=object)
    for at in (0, 9, 33):
        with_gaps.iloc[at] = missing
    with_gaps.iloc[20] = ""
    frame = vantel.match(with_gaps, threshold=60, as_frame=True)
    assert frame.attrs["rejected"] == [
        vantel.Rejection("queries", 0, "r0", "missing value"),
        vantel.Rejection("queries", 9, "r9", "missing value"),
        vantel.Rejection("queries", 20, "r20", "empty string"),
        vantel.Rejection("queries", 33, "r33", "missing value"),
    ]
    # The other strings are matched as they would be without the gaps, at their own positions.
    kept = [s if i not in (0, 9, 20, 33) else "" for i, s in enumerate(strings)]
    expected = vantel.match(kept, threshold=60)
    assert list(zip(frame["query"], frame["candidate"], frame["answer"])) == [
        (f"r{q}", f"r{c}", a) for q, c, a in expected
    ]


def test_a_string_dtype_series_with_na():
    series = pandas.Series(["Smith", pandas.NA, "Smyth"], dtype="string")
    found = vantel.match(series, threshold=50)
    assert list(found) == [(0, 2, vantel.compare("Smith", "Smyth"))]
    assert found.rejected == [vantel.Rejection("queries", 1, 1, "missing value")]


def test_a_non_str_value_in_a_series_is_a_type_error():
    with pytest.raises(TypeError, match=r"queries\[1\] must be str, not int"):
        vantel.match(pandas.Series(["a", 5, "b"]))


def test_a_dataframe_is_refused_by_match():
    with pytest.raises(TypeError, match="one column"):
        vantel.match(pandas.DataFrame({"name": STRINGS}))


def test_extract_with_a_series_returns_its_labels():
    series = labelled(STRINGS)
    best = vantel.extract(STRINGS[5], series, limit=3)
    plain = vantel.extract(STRINGS[5], STRINGS, limit=3)
    assert best == [(s, a, f"id-{k * 7}") for s, a, k in plain]
    gaps = pandas.Series(["Smith", None, "Smyth"], index=["x", "y", "z"])
    assert vantel.extract("Smith", gaps, limit=None, method=99) == [("Smith", 100.0, "x"), ("Smyth", 80.0, "z")]


def test_cdist_marks_missing_values_nan():
    series = pandas.Series(["Smith", None, "Smyth", ""])
    matrix = vantel.cdist(series, ["Smith", "Smithe"])
    assert np.isnan(matrix[1]).all()
    assert (matrix[3] == -1.0).all()
    assert matrix[0, 0] == 100.0 and matrix[2, 1] == vantel.compare("Smyth", "Smithe")


def test_dedupe_carries_the_chosen_columns_of_both_rows():
    frame = pandas.DataFrame(
        {
            "name": STRINGS[:60],
            "city": [f"city {i % 5}" for i in range(60)],
            "amount": np.arange(60) * 1.5,
        },
        index=pandas.Index([f"c{i}" for i in range(60)], name="customer"),
    )
    frame.loc["c7", "name"] = None
    pairs = vantel.dedupe(frame, "name", threshold=60, keep=["city"])
    expected = vantel.match(frame["name"], threshold=60)
    assert list(pairs.columns) == ["query", "candidate", "answer", "query_name", "candidate_name", "query_city", "candidate_city"]
    assert pairs["query"].tolist() == [f"c{q}" for q in expected.query.tolist()]
    assert pairs["candidate_name"].tolist() == [frame["name"].iloc[c] for c in expected.candidate.tolist()]
    assert pairs["query_city"].tolist() == [frame["city"].iloc[q] for q in expected.query.tolist()]
    assert pairs["answer"].tolist() == expected.answer.tolist()
    assert pairs.attrs["rejected"] == [vantel.Rejection("queries", 7, "c7", "missing value")]
    everything = vantel.dedupe(frame, "name", threshold=60, keep=True)
    assert {"query_amount", "candidate_amount"} <= set(everything.columns)
    assert everything["query_amount"].dtype == np.float64
    with pytest.raises(KeyError, match="no column 'nom'.*'name', 'city', 'amount'"):
        vantel.dedupe(frame, "nom")
    with pytest.raises(TypeError, match="DataFrame"):
        vantel.dedupe(STRINGS, "name")
