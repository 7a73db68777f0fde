import os
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


def _find_cli():
    given = os.environ.get("VANTEL_CLI")
    if given:
        return given
    for candidate in (ROOT / "build" / "release" / "cli" / "vantel", ROOT / "build" / "cli" / "vantel"):
        if candidate.exists():
            return str(candidate)
    return shutil.which("vantel")


@pytest.fixture(scope="session")
def cli():
    """Runs the vantel command: cli(args..., input=text) -> stdout."""
    path = _find_cli()
    if path is None:
        message = "the vantel command is not built (set VANTEL_CLI)"
        if os.environ.get("CI"):
            pytest.fail(message)
        pytest.skip(message)

    def run(*args, input=None, check=True):
        done = subprocess.run([path, *args], input=input, capture_output=True, text=True, encoding="utf-8")
        if check and done.returncode != 0:
            raise AssertionError(f"vantel {' '.join(args)} exited {done.returncode}: {done.stderr}")
        return done.stdout

    return run


@pytest.fixture(scope="session")
def root():
    return ROOT


def partitionings(data, equal):
    """The same rows of a pandas Series or DataFrame in several Dask
    partitionings: one, equal ones (``equal``: their name and count), and
    unequal ones with an empty partition among them."""
    import dask.dataframe as dd

    (equal_name, equal_count), = equal.items()
    n = len(data)
    cuts = [0, n // 7, n // 7, n // 2, n // 2 + 3, n]
    pieces = [data.iloc[a:b] for a, b in zip(cuts, cuts[1:])]
    unequal = dd.concat([dd.from_pandas(piece, npartitions=1, sort=False) for piece in pieces])
    assert 0 in [len(piece) for piece in pieces] and unequal.npartitions == 5
    return {
        "one": dd.from_pandas(data, npartitions=1, sort=False),
        equal_name: dd.from_pandas(data, npartitions=equal_count, sort=False),
        "unequal": unequal,
    }


@pytest.fixture(scope="module")
def client():
    """A LocalCluster of two worker processes and a client of it."""
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(
        n_workers=2, threads_per_worker=2, processes=True, dashboard_address=None, silence_logs=40
    ) as cluster, distributed.Client(cluster) as connected:
        yield connected
