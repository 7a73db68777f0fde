"""Record linkage on Dask: :func:`vantel.dask.link` and
:func:`vantel.dask.link_groups`, with the answers of :func:`vantel.link`.

Each partition is prepared once (its columns as the native pipeline reads
them, its keys and, with ``explain``, the fields' values), and the term
counts and first texts of every value are gathered over all partitions, so
that a pair weighs, wherever it is scored, what it weighs on one machine.
The candidates are then found by two kinds of task, and each pair by exactly
one of them (the library's shares of the candidates):

- Block rules as a shuffle. Each partition sends each of its records, for
  each block rule, to the bucket of the record's key (a hash that is the same
  in every process); the task of a bucket finds the pairs of its rule that no
  earlier block rule yields, among the records of every partition whose key
  fell there. A block rule never compares all partitions with all.
- Scan rules over pairs of partitions (i <= j to de-duplicate, every i with
  every j to link), as :func:`vantel.dask.match` does: the pairs the scans
  yield and no block rule does.

Every task scores its pairs with one model, trained once on the client or
given. The kept pairs of each partition of queries are then merged into the
order of :func:`vantel.link`, ``top`` applied across all tasks.
"""

from __future__ import annotations

import operator
from typing import Any, Optional

import numpy as np
import pandas as pd

import dask
import dask.dataframe as dd
from dask.base import tokenize
from dask.delayed import delayed

from . import _vantel
from ._api import Rejection, _count, _integer, _object_array
from ._dask_common import _REJECTED_META, _offsets, _partitions
from ._link import (
    _DEFAULT_SAMPLE,
    _FRAMES,
    Model,
    _explain_columns,
    _field_texts,
    _group_columns,
    _join_keys,
    _keys,
    _probability,
    _rule_texts,
    _texts,
)

__all__ = ["DEFAULT_TRAINING_ROWS", "link", "link_groups"]

#: Without a model, vantel.dask.link trains one on the client on at most this
#: many rows of each frame: all of them when there are no more (the model is
#: then that of vantel.link), else a random sample of this size (seed 0).
DEFAULT_TRAINING_ROWS = 200_000

_LINK_REJECTED_META = _REJECTED_META.copy()


class _LinkBlock:
    """Records as the native pipeline reads them (a partition, or the part of
    a bucket from one partition), and their keys; with ``explain``, the
    fields' columns as the frame holds them."""

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

    def take(self, rows: np.ndarray) -> "_LinkBlock":
        """The records at ``rows``, in that order."""
        at = rows.tolist()
        columns = {name: [values[r] for r in at] for name, values in self.columns.items()}
        shown = {name: values[rows] for name, values in self.shown.items()}
        return _LinkBlock(columns, self.keys.take(rows), len(at), shown)

    @staticmethod
    def join(blocks: list) -> "_LinkBlock":
        """The records of ``blocks``, one after the other."""
        columns = {name: [value for block in blocks for value in block.columns[name]] for name in blocks[0].columns}
        shown = {name: np.concatenate([block.shown[name] for block in blocks]) for name in blocks[0].shown}
        keys = _join_keys([block.keys for block in blocks])
        return _LinkBlock(columns, keys, sum(len(block) for block in blocks), shown)


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


def _score(first: _LinkBlock, second: Optional[_LinkBlock], first_at: np.ndarray, second_at: Optional[np.ndarray],
           share: int, options: tuple, model: Model, terms: tuple) -> pd.DataFrame:
    """The kept pairs of one share of the candidates among the records of
    ``first`` (``second`` None) or of ``first`` with those of ``second``;
    ``_query`` and ``_candidate`` are the positions of their records in
    their frames (``first_at``, ``second_at``)."""
    fields, scans, blocks, threshold, top, shown = options
    other, other_at = (first, first_at) if second is None else (second, second_at)
    if len(first) == 0 or len(other) == 0:
        empty = np.empty(0, dtype=np.int64)
        return _link_meta(first.keys, other.keys, shown).assign(_query=empty, _candidate=empty)
    if second is None:
        columns, count, first_count = first.columns, len(first), len(first)
    else:
        columns = {name: first.columns[name] + second.columns[name] for name in first.columns}
        count, first_count = len(first) + len(second), len(first)
    found = _vantel.link(
        columns, count, first_count, fields, scans, blocks, model._native, threshold, top, True, bool(shown), 0,
        _DEFAULT_SAMPLE, 1, None, terms[0], terms[1], share,
    )
    partners = found["second"] - (0 if second is None else first_count)
    result = {
        "query": first.keys.take(found["first"]),
        "candidate": other.keys.take(partners),
        "probability": found["probability"],
        "weight": found["weight"],
    }
    _explain_columns(result, shown, first.shown, other.shown, found["first"], partners, found)
    result.update(_query=first_at[found["first"]], _candidate=other_at[partners])
    return pd.DataFrame(result)


def _positions(block: _LinkBlock, offsets: list, number: int) -> np.ndarray:
    return offsets[number] + np.arange(len(block), dtype=np.int64)


def _scan_pair(first: _LinkBlock, second: Optional[_LinkBlock], first_offsets: list, i: int, second_offsets: list,
               j: int, options: tuple, model: Model, terms: tuple) -> pd.DataFrame:
    """The scans' share of partition i with itself (``second`` None) or with
    partition j (later, or of the other frame)."""
    first_at = _positions(first, first_offsets, i)
    second_at = None if second is None else _positions(second, second_offsets, j)
    return _score(first, second, first_at, second_at, -1, options, model, terms)


def _split_by_keys(block: _LinkBlock, offsets: list, number: int, rules: tuple, buckets: int) -> list:
    """For each block rule in turn, the records of one partition that have a
    key, in ``buckets`` buckets by it: ``(records, their positions in the
    frame)`` for each bucket of each rule."""
    fields, scans, blocks = rules
    at = _positions(block, offsets, number)
    pieces = []
    for _, hashes, present in _vantel.link_block_keys(block.columns, len(block), fields, scans, blocks):
        bucket = (hashes % np.uint64(buckets)).astype(np.int64)
        bucket[present == 0] = -1
        # Stable: within a bucket the records stay in their order.
        order = np.argsort(bucket, kind="stable")
        cuts = np.searchsorted(bucket[order], np.arange(buckets + 1))
        for k in range(buckets):
            rows = order[cuts[k] : cuts[k + 1]]
            pieces.append((block.take(rows), at[rows]))
    return pieces


def _link_bucket(rule: int, first_pieces: list, second_pieces: Optional[list], query_offsets: list, options: tuple,
                 model: Model, terms: tuple) -> list:
    """Block rule ``rule``'s share among the records of one bucket (those of
    every partition, in the order of the frame; linking, the first frame's
    and then the other's), split by the partition of each pair's query."""
    first = _LinkBlock.join([records for records, _ in first_pieces])
    first_at = np.concatenate([at for _, at in first_pieces])
    second, second_at = None, None
    if second_pieces is not None:
        second = _LinkBlock.join([records for records, _ in second_pieces])
        second_at = np.concatenate([at for _, at in second_pieces])
    found = _score(first, second, first_at, second_at, rule, options, model, terms)
    # The library gives the pairs by query, and a bucket's records are in the frame's order.
    cuts = np.searchsorted(found["_query"].to_numpy(), query_offsets)
    return [found.iloc[cuts[i] : cuts[i + 1]] for i in range(len(query_offsets) - 1)]


def _check_sides(*offsets: list) -> None:
    """Linking, as vantel.link: both frames must have rows (the other's
    named first, as there)."""
    if len(offsets) == 2:
        for side in (1, 0):
            if offsets[side][-1] == 0:
                raise ValueError(f"{_FRAMES[side]} has no rows to link")


def _merge_links(top: int, sides_checked: None, *parts: pd.DataFrame) -> pd.DataFrame:
    frame = pd.concat(parts, ignore_index=True) if len(parts) > 1 else parts[0]
    # The order of vantel.link: by query, the heaviest first, then by candidate.
    order = np.lexsort((frame["_candidate"].to_numpy(), -frame["weight"].to_numpy(), frame["_query"].to_numpy()))
    frame = frame.iloc[order]
    if top:
        frame = frame[frame.groupby("_query", sort=False).cumcount().to_numpy() < top]
    return frame.drop(columns=["_query", "_candidate"]).reset_index(drop=True)


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


def _frames(frame: Any, other: Any, npartitions: Optional[int]) -> list:
    """The one frame, or the two, as Dask DataFrames."""
    _partitions(npartitions)
    frames = [_frame_collection(frame, "frame", npartitions)]
    if other is not None:
        frames.append(_frame_collection(other, "other", npartitions))
    return frames


def _bucket_count(buckets: Optional[int]) -> Optional[int]:
    return None if buckets is None else _integer(buckets, "buckets", 1, 1 << 20)


class _LinkPlan:
    """The prepared partitions of one frame or two, the whole frames' term
    counts, the model, the offsets of the partitions, and the tasks that find
    and score the pairs of each partition of queries."""

    def __init__(self, frames: list, fields: Any, scan: Any, block: Any, model: Any, id: Any,  # noqa: A002
                 sample: int, training_rows: int, explain: bool = False) -> None:
        if model is not None and not isinstance(model, Model):
            model = Model.load(model)
        field_texts = _field_texts(fields, model)
        self.scans, self.blocks = _rule_texts(scan, "scan"), _rule_texts(block, "block")
        field_columns, names = _vantel.link_columns(field_texts, self.scans, self.blocks)
        kinds = _vantel.link_rule_kinds(field_texts, self.scans, self.blocks)
        self.has_scans = "scan" in kinds
        self.block_rules = [number for number, kind in enumerate(kinds) if kind == "block"]
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
        self.one_frame = len(frames) == 1
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
        self.sides_checked = delayed(_check_sides, pure=True)(*self.offsets, dask_key_name=f"vantel-link-sides-{self.token}")
        self.rejections = rejections

    def rejected(self) -> dd.DataFrame:
        return dd.from_delayed(self.rejections, meta=_LINK_REJECTED_META, verify_meta=False)

    def pair_parts(self, threshold: float, top: int, buckets: Optional[int]) -> list:
        """For each partition of queries, the tasks (or the parts of tasks)
        that give its kept pairs, with ``_query`` and ``_candidate``."""
        options = (self.fields, self.scans, self.blocks, threshold, top, self.shown)
        token = tokenize(self.token, threshold, top, buckets)
        model = delayed(self.model, name=f"vantel-model-{self.token}")
        queries, candidates = self.blocks_of[0], self.blocks_of[-1]
        by_query: list = [[] for _ in queries]
        if self.has_scans:
            for i, first in enumerate(queries):
                for j in range(i if self.one_frame else 0, len(candidates)):
                    second = None if self.one_frame and i == j else candidates[j]
                    by_query[i].append(
                        delayed(_scan_pair, pure=True)(
                            first, second, self.offsets[0], i, self.offsets[-1], j, options, model, self.terms,
                            dask_key_name=f"vantel-link-pair-{token}-{i}-{j}",
                        )
                    )
        if self.block_rules:
            # By default as many buckets per rule as the frames have
            # partitions: a bucket's task holds about a partition of each frame.
            if buckets is None:
                buckets = max(len(blocks) for blocks in self.blocks_of)
            rules = (self.fields, self.scans, self.blocks)
            splits = [
                [
                    delayed(_split_by_keys, pure=True)(
                        block, self.offsets[side], n, rules, buckets, dask_key_name=f"vantel-link-keys-{token}-{side}-{n}"
                    )
                    for n, block in enumerate(blocks)
                ]
                for side, blocks in enumerate(self.blocks_of)
            ]
            for b, rule in enumerate(self.block_rules):
                for k in range(buckets):
                    piece = b * buckets + k
                    pieces = [
                        [
                            delayed(operator.getitem, pure=True)(split, piece, dask_key_name=f"vantel-link-piece-{token}-{side}-{n}-{piece}")
                            for n, split in enumerate(side_splits)
                        ]
                        for side, side_splits in enumerate(splits)
                    ]
                    bucket = delayed(_link_bucket, pure=True)(
                        rule, pieces[0], None if self.one_frame else pieces[1], self.offsets[0], options, model,
                        self.terms, dask_key_name=f"vantel-link-bucket-{token}-{piece}",
                    )
                    for i in range(len(queries)):
                        by_query[i].append(
                            delayed(operator.getitem, pure=True)(bucket, i, dask_key_name=f"vantel-link-bucket-{token}-{piece}-{i}")
                        )
        return by_query


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
    buckets: Optional[int] = None,
) -> dd.DataFrame:
    """The pairs of :func:`vantel.link` as a lazy Dask DataFrame.

    ``frame``/``other``: Dask DataFrames, or pandas ones with
    ``npartitions=``. The model is ``model`` when given; else one is trained
    here, on the client, at once: on every row when a frame has at most
    ``training_rows`` (then it is the model of :func:`vantel.link`), else on
    a random sample of that many rows (``random_state=0``), with ``sample``
    random pairs for u. The term counts of every value are counted over all
    partitions; then block rules find their pairs where their keys meet (a
    shuffle of each rule's keys into ``buckets`` buckets, by default as
    many as the frames have partitions) and scan rules over pairs of
    partitions (i <= j to de-duplicate, every i with every j to link), each
    task on one thread.
    Computed, the rows equal those of :func:`vantel.link` on the same data
    and model, in its order, ``top`` applied across all tasks; with
    ``explain`` also, for each field, its two values, its level and its
    weight, as :func:`vantel.link` gives them. The result's ``model``
    attribute is the model, ``rejected`` a lazy DataFrame (``list``,
    ``position``, ``key``, ``reason``) of the rows left out.
    """
    threshold, buckets = _probability(threshold), _bucket_count(buckets)
    top = _count(top, "top")
    if top and other is None:
        raise ValueError("top goes with an other frame (linking)")
    frames = _frames(frame, other, npartitions)
    plan = _LinkPlan(frames, fields, scan, block, model, id, sample, training_rows, bool(explain))
    token = tokenize(plan.token, threshold, top, buckets)
    merged = [
        delayed(_merge_links, pure=True)(top, plan.sides_checked, *parts, dask_key_name=f"vantel-link-merge-{token}-{i}")
        for i, parts in enumerate(plan.pair_parts(threshold, top, buckets))
    ]
    first_meta = frames[0]._meta.index if id is None else pd.Index(frames[0]._meta[id])
    second_meta = frames[-1]._meta.index if id is None else pd.Index(frames[-1]._meta[id])
    pairs = dd.from_delayed(merged, meta=_link_meta(first_meta, second_meta, plan.shown), verify_meta=False, prefix="vantel-links")
    object.__setattr__(pairs, "rejected", plan.rejected())
    object.__setattr__(pairs, "model", plan.model)
    return pairs


def _pair_positions(part: pd.DataFrame) -> tuple:
    return part["_query"].to_numpy(), part["_candidate"].to_numpy()


def _labels(block: _LinkBlock) -> pd.Index:
    return block.keys


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
    buckets: Optional[int] = None,
) -> pd.DataFrame:
    """The groups of :func:`vantel.link_groups`, from pairs kept on Dask.

    The pairs are found and scored as :func:`link` finds and scores them,
    and gathered here (only the positions of their records), where the
    groups are formed by the library: the kept pairs and the keys must fit
    in this process's memory; ``buckets`` as for :func:`link`. Computed at
    once; returns the pandas DataFrame of :func:`vantel.link_groups`
    (``group``, linking ``file``, ``id``, ``size``, ``density``) with
    ``attrs`` ``rejected`` and ``model``.
    """
    threshold, buckets = _probability(threshold), _bucket_count(buckets)
    frames = _frames(frame, other, npartitions)
    plan = _LinkPlan(frames, fields, scan, block, model, id, sample, training_rows)
    token = tokenize(plan.token, threshold, buckets)
    positions = [
        delayed(_pair_positions, pure=True)(part, dask_key_name=f"vantel-link-group-pairs-{token}-{i}-{n}")
        for i, parts in enumerate(plan.pair_parts(threshold, 0, buckets))
        for n, part in enumerate(parts)
    ]
    # Of the partitions only their labels come here.
    labels = [
        [delayed(_labels, pure=True)(block, dask_key_name=f"vantel-link-labels-{token}-{side}-{n}") for n, block in enumerate(blocks)]
        for side, blocks in enumerate(plan.blocks_of)
    ]
    found, offsets, rejected, prepared, _ = dask.compute(positions, plan.offsets, plan.rejected(), labels, plan.sides_checked)
    # Rows count those of the first frame, then those of the other; records
    # are the rows that take part, in order: a rejected row is none.
    counts = [each[-1] for each in offsets]
    start = [0, counts[0]]
    taking = np.ones(sum(counts), dtype=bool)
    for side, name in enumerate(_FRAMES[: len(frames)]):
        taking[start[side] + rejected.loc[rejected["list"] == name, "position"].to_numpy(dtype=np.int64)] = False
    record_of = np.cumsum(taking) - 1
    rows = np.flatnonzero(taking)
    later = len(frames) - 1  # the side of the candidates
    empty = np.empty(0, np.int64)
    first = np.concatenate([query for query, _ in found]) if found else empty
    second = np.concatenate([candidate for _, candidate in found]) if found else empty
    group, member, size, density = _vantel.link_groups_of_pairs(
        int(taking.sum()),
        record_of[first].astype(np.int64),
        record_of[start[later] + second].astype(np.int64),
        bool(all),
        None if other is None else int(taking[: counts[0]].sum()),
    )
    keys = [_join_keys(list(side)) for side in prepared]
    result = pd.DataFrame(_group_columns(group, rows[member], size, density, keys))
    result.attrs["rejected"] = [
        Rejection(row.list, int(row.position), row.key, row.reason) for row in rejected.itertuples(index=False)
    ]
    result.attrs["model"] = plan.model
    return result
