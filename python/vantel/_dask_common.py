"""What vantel.dask's matching and its record linkage share: the offsets of
partitions, the check of ``npartitions`` and the frame of rejected rows."""

from __future__ import annotations

import sys
from typing import Optional

import numpy as np
import pandas as pd

from ._api import _integer

_REJECTED_META = pd.DataFrame(
    {
        "list": pd.Series(dtype=object),
        "position": pd.Series(dtype=np.int64),
        "key": pd.Series(dtype=object),
        "reason": pd.Series(dtype=object),
    }
)


def _offsets(*lengths: int) -> list:
    """Where each partition starts among all rows, and the count of all."""
    return np.concatenate([[0], np.cumsum(lengths)]).astype(np.int64).tolist()


def _partitions(npartitions: Optional[int]) -> None:
    # Dask itself divides by it (0) or makes no partition at all (a negative number).
    if npartitions is not None:
        _integer(npartitions, "npartitions", 1, sys.maxsize)
