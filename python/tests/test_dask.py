"""vantel.dask on a LocalCluster of two worker processes, started and closed
here: the pairs and groups equal those of one machine for several methods,
thresholds, tops and partitionings (unequal ones, an empty one); rejections
carry their keys; one pair of blocks per task, i <= j; comparers built once
per worker process; a worker killed mid-run does not change the result."""

import os
import signal
import time
import warnings

import numpy as np
import pytest

pandas = pytest.importorskip("pandas")
dask = pytest.importorskip("dask")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import vantel  # noqa: E402
from conftest import partitionings  # noqa: E402
import vantel.dask as vdask  # noqa: E402
from namegen import names  # noqa: E402

STRINGS = names(330, seed=41)
STRINGS[12] = ""
STRINGS[200] = "z" * 71
SERIES = pandas.Series(STRINGS, index=[f"p{i * 3}" for i in range(len(STRINGS))], dtype=object)
SERIES.iloc[77] = None
OTHERS = pandas.Series(names(140, seed=42) + [None], index=np.arange(5000, 5141))


def layouts(series):
    return partitionings(series, {"four": 4})


def frame_of(computed):
    return computed.reset_index(drop=True)


def rejections_of(frame):
    return [vantel.Rejection(*row) for row in frame.itertuples(index=False)]


@pytest.mark.parametrize("layout", ["one", "four", "unequal"])
def test_dedupe_on_the_cluster_equals_one_machine(client, layout):
    data = layouts(SERIES)[layout]
    cases = [(m, t, k) for m in (0, 2, 99) for t in (70, 85) for k in (None, 2)]
    lazy = [vdask.match(data, method=m, threshold=t, top=k) for m, t, k in cases]
    computed = dask.compute(*lazy, *[pairs.rejected for pairs in lazy])
    for at, (method, threshold, top) in enumerate(cases):
        expected = vantel.match(SERIES, method=method, threshold=threshold, top=top, as_frame=True)
        assert len(expected) > 0
        pandas.testing.assert_frame_equal(frame_of(computed[at]), expected)
        assert rejections_of(computed[len(cases) + at]) == expected.attrs["rejected"]


@pytest.mark.parametrize("layout", ["one", "unequal"])
def test_linking_two_lists_on_the_cluster_equals_one_machine(client, layout):
    queries = layouts(SERIES)[layout]
    candidates = dd.from_pandas(OTHERS, npartitions=3, sort=False)
    cases = [(m, t, k) for m in (0, 1, 3) for t in (60, 80) for k in (None, 1)]
    lazy = [vdask.match(queries, candidates, method=m, threshold=t, top=k) for m, t, k in cases]
    computed = dask.compute(*lazy, lazy[0].rejected)
    for at, (method, threshold, top) in enumerate(cases):
        expected = vantel.match(SERIES, OTHERS, method=method, threshold=threshold, top=top, as_frame=True)
        pandas.testing.assert_frame_equal(frame_of(computed[at]), expected)
    assert rejections_of(computed[-1]) == [
        vantel.Rejection("queries", 12, "p36", "empty string"),
        vantel.Rejection("queries", 77, "p231", "missing value"),
        vantel.Rejection("queries", 200, "p600", "longer than 70 UTF-16 code units (71)"),
        vantel.Rejection("candidates", 140, 5140, "missing value"),
    ]


def test_a_dataframe_column_with_its_strings_equals_dedupe(client):
    frame = pandas.DataFrame({"name": SERIES, "city": "Lyon"})
    lazy = vdask.match(frame, column="name", threshold=75, npartitions=3)
    expected = vantel.dedupe(frame, "name", threshold=75)
    pandas.testing.assert_frame_equal(frame_of(lazy.compute()), expected)
    ddf = dd.from_pandas(frame, npartitions=2, sort=False)
    assert list(vdask.match(ddf, column="name", threshold=75).columns) == list(expected.columns)


@pytest.mark.parametrize("layout", ["four", "unequal"])
def test_groups_on_the_cluster_equal_one_machine(client, layout):
    data = layouts(SERIES)[layout]
    for method, threshold, everything in [(0, 75, False), (2, 70, True), (99, 85, False)]:
        expected = vantel.groups(SERIES, method=method, threshold=threshold, all=everything)
        found = vdask.groups(data, method=method, threshold=threshold, all=everything)
        assert list(found) == list(expected) and len(expected) > 5
        assert found.rejected == expected.rejected
    as_frame = vdask.groups(data, threshold=75, as_frame=True)
    pandas.testing.assert_frame_equal(as_frame, vantel.groups(SERIES, threshold=75, as_frame=True))


def test_one_task_per_pair_of_blocks_i_le_j(client):
    data = dd.from_pandas(SERIES, npartitions=6, sort=False)
    pairs = vdask.match(data, threshold=80)
    keys = [str(key) for key in dict(pairs.__dask_graph__())]
    matched = sorted(tuple(int(n) for n in key.rsplit("-", 2)[1:]) for key in keys if key.startswith("vantel-match-"))
    assert matched == [(i, j) for i in range(6) for j in range(i, 6)]
    assert sum(key.startswith("vantel-prepare-") for key in keys) == 6
    linked = vdask.match(data, dd.from_pandas(OTHERS, npartitions=2, sort=False))
    assert sum(str(key).startswith("vantel-match-") for key in dict(linked.__dask_graph__())) == 12


def test_a_bad_string_is_reported_with_its_key_or_refused(client):
    bad = SERIES.copy()
    bad.iloc[250] = 12345
    with pytest.raises(TypeError, match=r"partition \d, position \d+ \(key 'p750'\) is int"):
        vdask.match(bad, npartitions=3).compute()
    with pytest.raises(TypeError, match="npartitions"):
        vdask.match(SERIES)
    with pytest.raises(TypeError, match="column="):
        vdask.match(pandas.DataFrame({"name": SERIES}), npartitions=2)
    with pytest.raises(vantel.VantelError):
        vdask.match(SERIES, npartitions=2, method=99999)


def test_our_code_raises_no_warning(client):
    data = layouts(SERIES)["unequal"]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        # Raised by tornado inside distributed 2022.12, not by this package.
        warnings.filterwarnings("ignore", "make_current is deprecated", DeprecationWarning)
        pairs = vdask.match(data, threshold=80, top=3)
        dask.compute(pairs, pairs.rejected)
        vdask.groups(data, threshold=80, as_frame=True)
        # Every task of ours, run in this process where the filter holds.
        with dask.config.set(scheduler="sync"):
            dask.compute(pairs, pairs.rejected)
            vdask.groups(data, threshold=80, as_frame=True)


def test_a_worker_killed_mid_run_does_not_change_the_result(client):
    strings = pandas.Series(names(9000, seed=43))
    data = dd.from_pandas(strings, npartitions=9, sort=False)
    expected = vantel.match(strings, method=2, threshold=80, as_frame=True)
    pids = client.run(os.getpid)
    future = client.compute(vdask.match(data, method=2, threshold=80))
    killed = None
    deadline = time.monotonic() + 60
    while killed is None and time.monotonic() < deadline and not future.done():
        for worker, keys in client.processing().items():
            if any(str(key).startswith("vantel-match-") for key in keys) and worker in pids:
                os.kill(pids[worker], signal.SIGKILL)
                killed = worker
                break
        time.sleep(0.005)
    assert killed is not None, "no task of the run was seen on a worker"
    assert not future.done()
    result = future.result(timeout=120)
    pandas.testing.assert_frame_equal(frame_of(result), expected)
    client.wait_for_workers(2, timeout=60)
    assert pids[killed] not in client.run(os.getpid).values()
