"""Matching on Dask: de-duplicate and link lists too large for one machine,
with exactly the answers of :func:`vantel.match` and :func:`vantel.groups`.

The inputs are split into blocks, one per partition. Each block is prepared
once (its strings, missing values and keys as plain lists) and shipped to the
workers that need it; a task matches one block of queries with one block of
candidates on the native matcher, which transcribes each string of its two
blocks once and scores the pairs with the GIL released. To de-duplicate one
list, the tasks are the pairs of blocks i <= j: a block with itself is the
within-list case, and each unordered pair of strings is scored exactly once.
The results of a query block are then merged into the order of the
``vantel match`` command, ``top`` applied across all candidate blocks.

Native objects are never pickled: each task builds the comparers it needs
(30 us each; the compiled rules are shared, read-only, within a process).

Record linkage (:func:`link`, :func:`link_groups`) lives in ``_dask_link``:
block rules run as a shuffle of their keys, scan rules over pairs of
partitions, every pair scored by the library with one model.
"""

from __future__ import annotations

from typing import Any, Optional

import numpy as np
import pandas as pd

import dask
import dask.dataframe as dd
from dask.base import tokenize
from dask.delayed import delayed

from . import _vantel
from ._api import _LISTS, Groups, Rejection, _count, _groups_frame, _object_array, _threshold
from ._dask_common import _REJECTED_META, _offsets, _partitions
from ._dask_link import DEFAULT_TRAINING_ROWS, link, link_groups

__all__ = ["match", "groups", "link", "link_groups", "DEFAULT_TRAINING_ROWS"]


class _Block:
    """One partition's strings as the native matcher reads them."""

    __slots__ = ("values", "missing", "keys")

    def __init__(self, values: list, missing: Optional[np.ndarray], keys: pd.Index) -> None:
        self.values = values
        self.missing = missing
        self.keys = keys

    def __getstate__(self):
        return (self.values, self.missing, self.keys)

    def __setstate__(self, state) -> None:
        self.values, self.missing, self.keys = state

    def __len__(self) -> int:
        return len(self.values)


def _prepare(part: pd.Series, name: str, number: int) -> _Block:
    values = part.tolist()
    missing = np.asarray(pd.isna(part), dtype=bool)
    for position, value in enumerate(values):
        if not isinstance(value, str) and not missing[position]:
            raise TypeError(
                f"{name} must hold str: partition {number}, position {position} "
                f"(key {part.index[position]!r}) is {type(value).__name__}"
            )
    return _Block(values, missing if missing.any() else None, part.index)


def _pairs_frame(first: _Block, second: _Block, found, block: int, strings: Optional[str]) -> pd.DataFrame:
    positions, partners, answers = found[:3]
    columns = {
        "query": first.keys.take(positions),
        "candidate": second.keys.take(partners),
        "answer": answers,
    }
    if strings is not None:
        columns[f"query_{strings}"] = _object_array(first.values)[positions]
        columns[f"candidate_{strings}"] = _object_array(second.values)[partners]
    # The order of the vantel match command across blocks: query, best answer, candidate block, candidate.
    columns["_query"] = positions
    columns["_block"] = np.full(len(positions), block, dtype=np.int64)
    columns["_candidate"] = partners
    return pd.DataFrame(columns)


def _native_match(first: _Block, second: Optional[_Block], method: Any, threshold: float, top: int):
    """The native matcher on one block, or one block against another: the
    kept pairs' positions within the blocks and their answers."""
    return _vantel.match(
        first.values,
        first.missing,
        None if second is None else second.values,
        None if second is None else second.missing,
        method,
        threshold,
        top,
        1,  # one thread per task: Dask runs tasks on every thread of every worker
    )


def _match_blocks(first: _Block, second: Optional[_Block], block: int, options: tuple, strings: Optional[str]):
    """The kept pairs of one query block with one candidate block (with
    itself, when ``second`` is None), positions within the blocks."""
    method, threshold, top = options
    found = _native_match(first, second, method, threshold, top)
    return _pairs_frame(first, first if second is None else second, found, block, strings)


def _merge(top: int, *parts: pd.DataFrame) -> pd.DataFrame:
    frame = pd.concat(parts, ignore_index=True) if len(parts) > 1 else parts[0]
    order = np.lexsort((frame["_candidate"].to_numpy(), frame["_block"].to_numpy(), -frame["answer"].to_numpy(), frame["_query"].to_numpy()))
    frame = frame.iloc[order]
    if top:
        frame = frame[frame.groupby("_query", sort=False).cumcount().to_numpy() < top]
    return frame.drop(columns=["_query", "_block", "_candidate"]).reset_index(drop=True)


def _block_rejections(block: _Block, side: int, method: Any, offset: int) -> pd.DataFrame:
    # A match with nothing prepares every string of the block, as a real
    # run does, so that a string whose transcription fails is reported too.
    _, _, _, reported = _vantel.match(block.values, block.missing, [], None, method, 100.0, 0, 1)
    rows = [
        (_LISTS[side], offset + position, block.keys[position], reason)
        for list_side, position, reason in reported
        if list_side == 0
    ]
    if not rows:
        return _REJECTED_META.copy()
    frame = pd.DataFrame(rows, columns=list(_REJECTED_META.columns))
    return frame.astype({"position": np.int64})


def _series(items: Any, name: str, column: Any, npartitions: Optional[int]) -> dd.Series:
    if isinstance(items, (pd.Series, pd.DataFrame)):
        if npartitions is None:
            raise TypeError(f"{name}: a pandas object needs npartitions= (or give a Dask collection)")
        # sort=False keeps the rows in their order, which is the order of the results.
        items = dd.from_pandas(items, npartitions=npartitions, sort=False)
    if isinstance(items, dd.DataFrame):
        if column is None:
            raise TypeError(f"{name} is a DataFrame: name the column of strings with column=")
        if column not in items.columns:
            raise KeyError(f"{name} has no column {column!r}; it has {list(items.columns)}")
        return items[column]
    if isinstance(items, dd.Series):
        return items
    raise TypeError(f"{name} must be a Dask (or pandas) DataFrame or Series, not {type(items).__name__}")


class _Plan:
    """The prepared blocks of the inputs, their offsets and rejections."""

    def __init__(self, series: list, method: Any, token: str) -> None:
        self.blocks, self.rejections, self.offsets = [], [], []
        for side, strings in enumerate(series):
            parts = strings.to_delayed()
            blocks = [
                delayed(_prepare, pure=True)(part, _LISTS[side], number, dask_key_name=f"vantel-prepare-{token}-{side}-{number}")
                for number, part in enumerate(parts)
            ]
            lengths = [delayed(len, pure=True)(block, dask_key_name=f"vantel-length-{token}-{side}-{n}") for n, block in enumerate(blocks)]
            offsets = delayed(_offsets, pure=True)(*lengths, dask_key_name=f"vantel-offsets-{token}-{side}")
            self.blocks.append(blocks)
            self.offsets.append(offsets)
            self.rejections += [
                delayed(_block_rejections, pure=True)(block, side, method, offsets[n], dask_key_name=f"vantel-rejected-{token}-{side}-{n}")
                for n, block in enumerate(blocks)
            ]

    def rejected(self) -> dd.DataFrame:
        return dd.from_delayed(self.rejections, meta=_REJECTED_META, verify_meta=False)


def _meta(queries: dd.Series, candidates: dd.Series, strings: Optional[str]) -> pd.DataFrame:
    empty = np.empty(0, dtype=np.int64)
    first = _Block([], None, queries._meta.index[:0])
    second = _Block([], None, candidates._meta.index[:0])
    frame = _pairs_frame(first, second, (empty, empty, np.empty(0)), 0, strings)
    return frame.drop(columns=["_query", "_block", "_candidate"])


def match(
    queries: Any,
    candidates: Any = None,
    *,
    column: Any = None,
    method: int = 0,
    threshold: float = 80,
    top: Optional[int] = None,
    npartitions: Optional[int] = None,
) -> dd.DataFrame:
    """The pairs of :func:`vantel.match` as a lazy Dask DataFrame.

    ``queries``/``candidates``: Dask Series or DataFrames (with ``column``
    naming the column of strings), or pandas objects with ``npartitions=``.
    Columns: ``query`` and ``candidate`` (the rows' index labels), ``answer``,
    and with ``column`` the two strings as ``query_<column>`` and
    ``candidate_<column>``. Computed, the rows are those of
    ``vantel.match(..., as_frame=True)`` (or ``vantel.dedupe``), in its order:
    by query, best answer first, then by candidate, with ``top`` applied
    across all partitions. Without ``candidates`` each unordered pair of
    ``queries`` is scored once, in tasks over the pairs of blocks i <= j.

    The result's ``rejected`` attribute is a lazy Dask DataFrame (columns
    ``list``, ``position``, ``key``, ``reason``) of the strings left out,
    as ``vantel.match`` reports them; compute both at once with
    ``dask.compute(pairs, pairs.rejected)``.
    """
    threshold = _threshold(threshold)
    top = _count(top, "top")
    _partitions(npartitions)
    _vantel.match([], None, None, None, method, threshold, top, 1)  # the method is checked here, not on a worker
    query_series = _series(queries, "queries", column, npartitions)
    one_list = candidates is None
    candidate_series = query_series if one_list else _series(candidates, "candidates", column, npartitions)
    strings = None if column is None else str(column)
    token = tokenize(query_series, None if one_list else candidate_series, method, threshold, top, strings)
    plan = _Plan([query_series] if one_list else [query_series, candidate_series], method, token)
    query_blocks = plan.blocks[0]
    candidate_blocks = query_blocks if one_list else plan.blocks[1]
    options = (method, threshold, top)

    merged = []
    for i, first in enumerate(query_blocks):
        parts = []
        for j in range(i if one_list else 0, len(candidate_blocks)):
            second = None if one_list and i == j else candidate_blocks[j]
            parts.append(
                delayed(_match_blocks, pure=True)(first, second, j, options, strings, dask_key_name=f"vantel-match-{token}-{i}-{j}")
            )
        merged.append(delayed(_merge, pure=True)(top, *parts, dask_key_name=f"vantel-merge-{token}-{i}"))
    pairs = dd.from_delayed(merged, meta=_meta(query_series, candidate_series, strings), verify_meta=False, prefix="vantel-pairs")
    object.__setattr__(pairs, "rejected", plan.rejected())
    return pairs


def _group_pairs(first: _Block, second: Optional[_Block], i: int, j: int, method: Any, threshold: float):
    found = _native_match(first, second, method, threshold, 0)
    return i, j, found[0], found[1], found[2]


def groups(
    strings: Any,
    *,
    column: Any = None,
    method: int = 0,
    threshold: float = 80,
    all: bool = False,  # noqa: A002 - the name of the command's option
    as_frame: bool = False,
    npartitions: Optional[int] = None,
):
    """The duplicate groups of :func:`vantel.groups`, from pairs matched on Dask.

    The pairs are scored in tasks over the pairs of blocks i <= j, as
    :func:`match` does, and gathered here, where the connected components are
    formed: the kept pairs (24 bytes each) and the strings and keys of the
    list must fit in this process's memory; the n(n-1)/2 pairs that are
    scored never leave the workers. Computed at once (on the current Dask
    scheduler or client), and returned as :func:`vantel.groups` returns them:
    :class:`vantel.Groups` (positions in the whole collection), or with
    ``as_frame=True`` a pandas DataFrame of ``group``, ``key``, ``string``,
    ``partner``, ``answer`` with ``attrs["rejected"]``.
    """
    threshold = _threshold(threshold)
    _partitions(npartitions)
    _vantel.match([], None, None, None, method, threshold, 0, 1)
    series = _series(strings, "strings", column, npartitions)
    token = tokenize(series, method, threshold, "groups")
    plan = _Plan([series], method, token)
    blocks = plan.blocks[0]
    tasks = [
        delayed(_group_pairs, pure=True)(
            blocks[i], None if i == j else blocks[j], i, j, method, threshold, dask_key_name=f"vantel-group-pairs-{token}-{i}-{j}"
        )
        for i in range(len(blocks))
        for j in range(i, len(blocks))
    ]
    found, offsets, rejected, prepared = dask.compute(tasks, plan.offsets[0], plan.rejected(), blocks)
    count = offsets[-1]
    query = np.concatenate([offsets[i] + q for i, _, q, _, _ in found]) if found else np.empty(0, np.int64)
    candidate = np.concatenate([offsets[j] + c for _, j, _, c, _ in found]) if found else np.empty(0, np.int64)
    answer = np.concatenate([a for *_, a in found]) if found else np.empty(0)
    group, member, partner, best = _vantel.groups_of_pairs(
        count, query, candidate, answer, rejected["position"].to_numpy(dtype=np.int64), bool(all)
    )
    rejections = [Rejection("queries", int(row.position), row.key, row.reason) for row in rejected.itertuples(index=False)]
    if not as_frame:
        return Groups(group, member, partner, best, rejections)
    keys = prepared[0].keys.append([block.keys for block in prepared[1:]]) if prepared else pd.Index([])
    values = _object_array([value for block in prepared for value in block.values])
    return _groups_frame(group, member, partner, best, keys.take, values, rejections)
