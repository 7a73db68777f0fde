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

Record linkage (:func:`link`, :func:`link_groups`) runs the same way over
pairs of partitions: each task runs the library's linkage pipeline on the
records of its two partitions (their candidate pairs, by the scan and block
rules, and their scores), with the model trained once on the client and the
term frequencies of every value counted over all partitions first, so that
each pair weighs what it weighs in :func:`vantel.link`.
"""

from __future__ import annotations

import sys
from typing import Any, Optional

import numpy as np
import pandas as pd

import dask
import dask.dataframe as dd
from dask.base import tokenize
from dask.delayed import delayed

from . import _vantel
from ._api import _LISTS, Groups, Rejection, _count, _groups_frame, _integer, _object_array, _threshold
from ._link import (
    _DEFAULT_SAMPLE,
    _FRAMES,
    Model,
    _explain_columns,
    _field_texts,
    _group_columns,
    _keys,
    _rule_texts,
    _texts,
)

__all__ = ["match", "groups", "link", "link_groups"]

_REJECTED_META = pd.DataFrame(
    {
        "list": pd.Series(dtype=object),
        "position": pd.Series(dtype=np.int64),
        "key": pd.Series(dtype=object),
        "reason": pd.Series(dtype=object),
    }
)


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


def _offsets(*lengths: int) -> list:
    return np.concatenate([[0], np.cumsum(lengths)]).astype(np.int64).tolist()


def _partitions(npartitions: Optional[int]) -> None:
    # Dask itself divides by it (0) or makes no partition at all (a negative number).
    if npartitions is not None:
        _integer(npartitions, "npartitions", 1, sys.maxsize)


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


# Record linkage over pairs of partitions.

#: Without a model, vantel.dask.link trains one on the client on at most this
#: many rows of each frame: all of them when there are no more (the model is
#: then that of vantel.link), else a random sample of this size (seed 0).
DEFAULT_TRAINING_ROWS = 200_000

_LINK_REJECTED_META = _REJECTED_META.copy()


class _LinkBlock:
    """One partition's columns as the native pipeline reads them, and its
    keys; with ``explain``, the fields' columns as the frame holds them."""

    __slots__ = ("columns", "keys", "count", "shown")

    def __init__(self, columns: dict, keys: pd.Index, count: int, shown: dict) -> None:
        self.columns = columns
        self.keys = keys
        self.count = count
        self.shown = shown

    def __getstate__(self):
        return (self.columns, self.keys, self.count, self.shown)

    def __setstate__(self, state) -> None:
        self.columns, self.keys, self.count, self.shown = state

    def __len__(self) -> int:
        return self.count


def _prepare_records(part: pd.DataFrame, names: list, id: Any, side: int, number: int, shown: list) -> _LinkBlock:  # noqa: A002
    where = f"{_FRAMES[side]} (partition {number})"
    columns = {column: _texts(part, column, where) for column in names}
    values = {column: _object_array(part[column].tolist()) for column in shown}
    return _LinkBlock(columns, _keys(part, id, where), len(part), values)


def _block_terms(block: _LinkBlock, fields: list):
    return _vantel.link_terms(block.columns, len(block), fields)


def _whole_terms(*parts) -> tuple:
    """The term counts of all partitions, and the first text of each value
    in the order of the partitions (the first frame's, then the other's): a
    value's first text in its own field in any partition, and only without
    one its first text in the field's swap column, as on one machine."""
    counts: list = []
    for part_counts, _, _, _ in parts:
        if not counts:
            counts = [dict() for _ in part_counts]
        for mine, theirs in zip(counts, part_counts):
            for key, count in theirs.items():
                mine[key] = mine.get(key, 0) + count
    texts = _vantel.link_merge_first_texts([part[1] for part in parts], [part[3] for part in parts])
    return counts, texts


def _link_rejections(side: int, offset: int, block: _LinkBlock, terms) -> pd.DataFrame:
    rows = [(_FRAMES[side], offset + position, block.keys[position], reason) for position, reason in terms[2]]
    if not rows:
        return _LINK_REJECTED_META.copy()
    return pd.DataFrame(rows, columns=list(_LINK_REJECTED_META.columns)).astype({"position": np.int64})


def _link_meta(first_keys: pd.Index, second_keys: pd.Index, shown: list) -> pd.DataFrame:
    columns = {
        "query": first_keys[:0],
        "candidate": second_keys[:0],
        "probability": np.empty(0),
        "weight": np.empty(0),
    }
    nothing = {column: np.empty(0, dtype=object) for column in shown}
    empty = np.empty(0, dtype=np.int64)
    _explain_columns(columns, shown, nothing, nothing, empty, empty, None)
    return pd.DataFrame(columns)


def _link_blocks(first: _LinkBlock, second: Optional[_LinkBlock], block: int, options: tuple, model: Model, terms: list):
    """The kept pairs of one partition with itself (``second`` None) or
    with another (later, or of the other frame), positions within each."""
    fields, scans, blocks, threshold, top, shown = options
    other = first if second is None else second
    if len(first) == 0 or len(other) == 0:
        empty = np.empty(0, dtype=np.int64)
        frame = _link_meta(first.keys, other.keys, shown)
        return frame.assign(_query=empty, _block=empty, _candidate=empty)
    if second is None:
        columns, count, first_count = first.columns, len(first), len(first)
    else:
        columns = {name: first.columns[name] + second.columns[name] for name in first.columns}
        count, first_count = len(first) + len(second), len(first)
    found = _vantel.link(
        columns, count, first_count, fields, scans, blocks, model._native, threshold, top, True, bool(shown), 0,
        _DEFAULT_SAMPLE, 1, None, terms[0], terms[1],
    )
    partners = found["second"] - (0 if second is None else first_count)
    result = {
        "query": first.keys.take(found["first"]),
        "candidate": other.keys.take(partners),
        "probability": found["probability"],
        "weight": found["weight"],
    }
    _explain_columns(result, shown, first.shown, other.shown, found["first"], partners, found)
    result.update(_query=found["first"], _block=np.full(len(partners), block, dtype=np.int64), _candidate=partners)
    return pd.DataFrame(result)


def _merge_links(top: int, *parts: pd.DataFrame) -> pd.DataFrame:
    frame = pd.concat(parts, ignore_index=True) if len(parts) > 1 else parts[0]
    # The order of vantel.link: by query, the heaviest first, then by candidate.
    order = np.lexsort(
        (frame["_candidate"].to_numpy(), frame["_block"].to_numpy(), -frame["weight"].to_numpy(), frame["_query"].to_numpy())
    )
    frame = frame.iloc[order]
    if top:
        frame = frame[frame.groupby("_query", sort=False).cumcount().to_numpy() < top]
    return frame.drop(columns=["_query", "_block", "_candidate"]).reset_index(drop=True)


def _frame_collection(items: Any, name: str, npartitions: Optional[int]) -> dd.DataFrame:
    if isinstance(items, pd.DataFrame):
        if npartitions is None:
            raise TypeError(f"{name}: a pandas DataFrame needs npartitions= (or give a Dask DataFrame)")
        return dd.from_pandas(items, npartitions=npartitions, sort=False)
    if isinstance(items, dd.DataFrame):
        return items
    raise TypeError(f"{name} must be a Dask (or pandas) DataFrame, not {type(items).__name__}")


def _training_rows(frame: dd.DataFrame, rows: int) -> pd.DataFrame:
    count = len(frame)
    if count <= rows:
        return frame.compute()
    return frame.sample(frac=rows / count, random_state=0).compute()


class _LinkPlan:
    """The prepared partitions of one frame or two, the whole frames' term
    counts, the model, and the offsets of the partitions."""

    def __init__(self, frames: list, fields: Any, scan: Any, block: Any, model: Any, id: Any,  # noqa: A002
                 sample: int, training_rows: int, explain: bool = False) -> None:
        if model is not None and not isinstance(model, Model):
            model = Model.load(model)
        field_texts = _field_texts(fields, model)
        self.scans, self.blocks = _rule_texts(scan, "scan"), _rule_texts(block, "block")
        field_columns, names = _vantel.link_columns(field_texts, self.scans, self.blocks)
        # The fields' columns as given, for explain's values.
        self.shown = list(field_columns) if explain else []
        for number, frame in enumerate(frames):
            missing = [column for column in names + ([id] if id is not None else []) if column not in frame.columns]
            if missing:
                raise ValueError(f"{_FRAMES[number]} has no column {missing[0]!r}; it has {list(frame.columns)[:40]}")
        if model is None:
            samples = [_training_rows(frame, _integer(training_rows, "training_rows", 1, 1 << 40)) for frame in frames]
            model = Model.train(*samples, fields=field_texts, scan=self.scans, block=self.blocks, sample=sample)
        self.model = model
        self.fields = field_texts
        self.token = tokenize(*frames, field_texts, self.scans, self.blocks, model.to_json(), id, self.shown)
        self.blocks_of, self.offsets, terms, rejections = [], [], [], []
        for side, frame in enumerate(frames):
            parts = frame.to_delayed()
            prepared = [
                delayed(_prepare_records, pure=True)(
                    part, names, id, side, n, self.shown, dask_key_name=f"vantel-records-{self.token}-{side}-{n}"
                )
                for n, part in enumerate(parts)
            ]
            lengths = [delayed(len, pure=True)(b, dask_key_name=f"vantel-rows-{self.token}-{side}-{n}") for n, b in enumerate(prepared)]
            offsets = delayed(_offsets, pure=True)(*lengths, dask_key_name=f"vantel-row-offsets-{self.token}-{side}")
            counted = [
                delayed(_block_terms, pure=True)(b, field_texts, dask_key_name=f"vantel-terms-{self.token}-{side}-{n}")
                for n, b in enumerate(prepared)
            ]
            terms += counted
            rejections += [
                delayed(_link_rejections, pure=True)(side, offsets[n], prepared[n], counted[n], dask_key_name=f"vantel-link-rejected-{self.token}-{side}-{n}")
                for n in range(len(prepared))
            ]
            self.blocks_of.append(prepared)
            self.offsets.append(offsets)
        self.terms = delayed(_whole_terms, pure=True)(*terms, dask_key_name=f"vantel-whole-terms-{self.token}")
        self.rejections = rejections

    def rejected(self) -> dd.DataFrame:
        return dd.from_delayed(self.rejections, meta=_LINK_REJECTED_META, verify_meta=False)


def link(
    frame: Any,
    other: Any = None,
    *,
    id: Any = None,  # noqa: A002 - the command's option
    fields: Any = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    top: Optional[int] = None,
    model: Any = None,
    explain: bool = False,
    sample: int = _DEFAULT_SAMPLE,
    training_rows: int = DEFAULT_TRAINING_ROWS,
    npartitions: Optional[int] = None,
) -> dd.DataFrame:
    """The pairs of :func:`vantel.link` as a lazy Dask DataFrame.

    ``frame``/``other``: Dask DataFrames, or pandas ones with
    ``npartitions=``. The model is ``model`` when given; else one is trained
    here, on the client, at once: on every row when a frame has at most
    ``training_rows`` (then it is the model of :func:`vantel.link`), else on
    a random sample of that many rows (``random_state=0``), with ``sample``
    random pairs for u. The term counts of every value are counted over all
    partitions; then each task runs the linkage pipeline on the records of
    one pair of partitions (i <= j to de-duplicate, every i with every j to
    link), with one thread. Computed, the rows equal those of
    :func:`vantel.link` on the same data and model, in its order, ``top``
    applied across all partitions; with ``explain`` also, for each field,
    its two values, its level and its weight, as :func:`vantel.link` gives
    them. The result's ``model`` attribute is the
    model, ``rejected`` a lazy DataFrame (``list``, ``position``, ``key``,
    ``reason``) of the rows left out.
    """
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float, np.integer, np.floating)):
        raise TypeError(f"threshold must be a number, not {type(threshold).__name__}")
    if not 0.0 <= float(threshold) <= 1.0:
        raise ValueError(f"threshold must be a probability from 0 to 1, not {threshold!r}")
    top = _count(top, "top")
    if top and other is None:
        raise ValueError("top goes with an other frame (linking)")
    _partitions(npartitions)
    one_frame = other is None
    frames = [_frame_collection(frame, "frame", npartitions)]
    if not one_frame:
        frames.append(_frame_collection(other, "other", npartitions))
    plan = _LinkPlan(frames, fields, scan, block, model, id, sample, training_rows, bool(explain))
    queries = plan.blocks_of[0]
    candidates = queries if one_frame else plan.blocks_of[1]
    options = (plan.fields, plan.scans, plan.blocks, float(threshold), top, plan.shown)
    model_task = delayed(plan.model, name=f"vantel-model-{plan.token}")
    merged = []
    for i, first in enumerate(queries):
        parts = []
        for j in range(i if one_frame else 0, len(candidates)):
            second = None if one_frame and i == j else candidates[j]
            parts.append(
                delayed(_link_blocks, pure=True)(
                    first, second, j, options, model_task, plan.terms, dask_key_name=f"vantel-link-{plan.token}-{i}-{j}"
                )
            )
        merged.append(delayed(_merge_links, pure=True)(top, *parts, dask_key_name=f"vantel-link-merge-{plan.token}-{i}"))
    first_meta = frames[0]._meta.index if id is None else pd.Index(frames[0]._meta[id])
    second_meta = frames[-1]._meta.index if id is None else pd.Index(frames[-1]._meta[id])
    pairs = dd.from_delayed(merged, meta=_link_meta(first_meta, second_meta, plan.shown), verify_meta=False, prefix="vantel-links")
    object.__setattr__(pairs, "rejected", plan.rejected())
    object.__setattr__(pairs, "model", plan.model)
    return pairs


def _group_links(first: _LinkBlock, second: Optional[_LinkBlock], i: int, j: int, options: tuple, model: Model, terms: list):
    found = _link_blocks(first, second, j, options, model, terms)
    return i, j, found["_query"].to_numpy(), found["_candidate"].to_numpy()


def link_groups(
    frame: Any,
    other: Any = None,
    *,
    id: Any = None,  # noqa: A002 - the command's option
    fields: Any = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    model: Any = None,
    all: bool = False,  # noqa: A002 - the command's option
    sample: int = _DEFAULT_SAMPLE,
    training_rows: int = DEFAULT_TRAINING_ROWS,
    npartitions: Optional[int] = None,
) -> pd.DataFrame:
    """The groups of :func:`vantel.link_groups`, from pairs kept on Dask.

    The pairs are found and scored as :func:`link` does, in tasks over the
    pairs of partitions (i <= j to de-duplicate, every i with every j to
    link), and gathered here, where the groups are formed by the library:
    the kept pairs and the keys must fit in this process's memory. Computed
    at once; returns the pandas DataFrame of :func:`vantel.link_groups`
    (``group``, linking ``file``, ``id``, ``size``, ``density``) with
    ``attrs`` ``rejected`` and ``model``.
    """
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float, np.integer, np.floating)):
        raise TypeError(f"threshold must be a number, not {type(threshold).__name__}")
    if not 0.0 <= float(threshold) <= 1.0:
        raise ValueError(f"threshold must be a probability from 0 to 1, not {threshold!r}")
    _partitions(npartitions)
    frames = [_frame_collection(frame, "frame", npartitions)]
    if other is not None:
        frames.append(_frame_collection(other, "other", npartitions))
    plan = _LinkPlan(frames, fields, scan, block, model, id, sample, training_rows)
    queries, candidates = plan.blocks_of[0], plan.blocks_of[-1]
    options = (plan.fields, plan.scans, plan.blocks, float(threshold), 0, [])
    model_task = delayed(plan.model, name=f"vantel-model-{plan.token}")
    tasks = [
        delayed(_group_links, pure=True)(
            queries[i], None if other is None and i == j else candidates[j], i, j, options, model_task, plan.terms,
            dask_key_name=f"vantel-link-group-pairs-{plan.token}-{i}-{j}",
        )
        for i in range(len(queries))
        for j in range(i if other is None else 0, len(candidates))
    ]
    found, offsets, rejected, prepared = dask.compute(tasks, plan.offsets, plan.rejected(), plan.blocks_of)
    # Rows count those of the first frame, then those of the other; records
    # are the rows that take part, in order: a rejected row is none.
    counts = [each[-1] for each in offsets]
    start = [0, counts[0]]
    taking = np.ones(sum(counts), dtype=bool)
    for side, name in enumerate(_FRAMES[: len(frames)]):
        positions = rejected.loc[rejected["list"] == name, "position"].to_numpy(dtype=np.int64)
        taking[start[side] + positions] = False
    record_of = np.cumsum(taking) - 1
    rows = np.flatnonzero(taking)
    later = len(frames) - 1  # the side of the candidates
    first = [record_of[offsets[0][i] + q] for i, _, q, _ in found]
    second = [record_of[start[later] + offsets[later][j] + c] for _, j, _, c in found]
    empty = np.empty(0, np.int64)
    group, member, size, density = _vantel.link_groups_of_pairs(
        int(taking.sum()),
        np.concatenate(first) if first else empty,
        np.concatenate(second) if second else empty,
        bool(all),
        None if other is None else int(taking[: counts[0]].sum()),
    )
    keys = [
        blocks[0].keys.append([b.keys for b in blocks[1:]]) if blocks else pd.Index([]) for blocks in prepared
    ]
    result = pd.DataFrame(_group_columns(group, rows[member], size, density, keys))
    result.attrs["rejected"] = [
        Rejection(row.list, int(row.position), row.key, row.reason) for row in rejected.itertuples(index=False)
    ]
    result.attrs["model"] = plan.model
    return result
