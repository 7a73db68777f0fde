"""The batch functions: extract, match, groups, cdist, dedupe.

They read their lists here (lists, iterables, dicts, NumPy arrays, pandas
Series) and leave the matching to the native matcher, which runs with the
GIL released on ``workers`` threads.
"""

from __future__ import annotations

import operator
import sys
from collections.abc import Iterable, Mapping
from typing import Any, Callable, Iterator, NamedTuple, Optional, Sequence, Tuple

import numpy as np

from . import _vantel

#: cdist refuses a matrix of more cells than this unless given a larger max_cells (800 MB of float64).
DEFAULT_MAX_CELLS = 100_000_000

_LISTS = ("queries", "candidates")


class Rejection(NamedTuple):
    """A string that took part in no pair, and why: ``list`` is "queries" or
    "candidates", ``position`` its position in that input, ``key`` its key
    (the Series' index label, the dict's key, or the position), ``reason``
    "empty string", "longer than 70 UTF-16 code units (N)", "missing value"
    or the run-time error its transcription raised."""

    list: str
    position: int
    key: Any
    reason: str


class _Input:
    """One list as given: its items, which of them are missing values
    (pandas only), and how a position becomes a key."""

    __slots__ = ("values", "missing", "keys")

    def __init__(self, values: list, missing: Optional[np.ndarray], keys: Any) -> None:
        self.values = values
        self.missing = missing
        self.keys = keys  # None: the positions; a pandas Index; or an object array (a dict's keys)

    def key(self, position: int) -> Any:
        if self.keys is None:
            return position
        return self.keys[position]

    def keys_at(self, positions: np.ndarray) -> Any:
        if self.keys is None:
            return positions
        taken = self.keys.take(positions)
        pandas = sys.modules.get("pandas")
        if pandas is not None and isinstance(taken, pandas.MultiIndex):
            return taken.to_flat_index()
        return taken


def _object_array(items: Sequence[Any]) -> np.ndarray:
    array = np.empty(len(items), dtype=object)
    array[:] = items
    return array


def _read(items: Any, name: str) -> _Input:
    # A pandas object can exist only once pandas is imported: no need to import it here.
    pandas = sys.modules.get("pandas")
    if pandas is not None:
        if isinstance(items, pandas.DataFrame):
            raise TypeError(f"{name}: give one column (frame['name']), not a DataFrame; vantel.dedupe takes a DataFrame")
        if isinstance(items, (pandas.Series, pandas.Index)):
            missing = np.asarray(pandas.isna(items), dtype=bool)
            keys = items.index if isinstance(items, pandas.Series) else None
            return _Input(items.tolist(), missing if missing.any() else None, keys)
    if isinstance(items, (str, bytes)):
        raise TypeError(f"{name} must be an iterable of str, not a single {type(items).__name__}")
    if isinstance(items, Mapping):
        return _Input(list(items.values()), None, _object_array(list(items.keys())))
    if isinstance(items, list):
        return _Input(items, None, None)
    if isinstance(items, np.ndarray):
        if items.ndim != 1:
            raise ValueError(f"{name} must be one-dimensional, not of shape {items.shape}")
        return _Input(items.tolist(), None, None)
    if not isinstance(items, Iterable):
        raise TypeError(f"{name} must be an iterable of str, not {type(items).__name__}")
    return _Input(list(items), None, None)

#: The largest top or limit (the native count is 64 bits; any count past the list's length keeps every pair).
_MOST_COUNT = 2**64 - 1


def _shown(value: Any) -> str:
    """A value as a message shows it: short, whatever was given (a list
    passed by mistake, an integer of a million digits)."""
    if isinstance(value, (int, np.integer)) and not isinstance(value, bool):
        number = int(value)
        return str(number) if number.bit_length() <= 64 else f"a number of {number.bit_length()} bits"
    text = repr(value)
    return text if len(text) <= 40 else text[:37] + "..."


def _integral(value: Any, name: str) -> int:
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an int, not {type(value).__name__}") from None


def _integer(value: Any, name: str, lowest: int, highest: int, also: str = "") -> int:
    """``value`` as an int from ``lowest`` to ``highest``: a TypeError for
    anything that is no integer, a short ValueError naming ``name`` for one
    out of range (never a conversion error that echoes the call's lists)."""
    number = _integral(value, name)
    if not lowest <= number <= highest:
        raise ValueError(f"{name} must be from {lowest} to {highest}{also}, not {_shown(number)}")
    return number


def _checked(check: Callable[[Any], Any], value: Any, name: str, given: Any) -> Any:
    """``value`` through one of the library's checks; its refusal names
    ``name`` and shows what was ``given``."""
    try:
        return check(value)
    except ValueError as refused:
        raise ValueError(f"{name} must be {refused}, not {_shown(given)}") from None


_INT64 = range(-(2**63), 2**63)


def _workers(workers: int) -> int:
    """The threads to run on: -1, like 0, is one per processor."""
    number = _integral(workers, "workers")
    wanted = 0 if number == -1 else number
    # Past 64 bits the library cannot be asked; -2 is out of its range too.
    return _checked(_vantel.checked_workers, wanted if wanted in _INT64 else -2, "workers", number)


def _threshold(threshold: float) -> float:
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float, np.integer, np.floating)):
        raise TypeError(f"threshold must be a number, not {type(threshold).__name__}")
    try:
        value = float(threshold)
    except OverflowError:  # an int too large for a float
        value = float("inf")
    return _checked(_vantel.checked_threshold, value, "threshold", threshold)


def _count(value: Optional[int], name: str) -> int:
    """A count that None leaves unlimited (0 to the native matcher)."""
    if value is None:
        return 0
    return _integer(value, name, 1, _MOST_COUNT, " (or None for no limit)")


def _rejections(reported: list, inputs: Tuple[_Input, _Input]) -> list:
    return [Rejection(_LISTS[side], position, inputs[side].key(position), reason) for side, position, reason in reported]


class Matches:
    """The pairs that :func:`match` kept, as NumPy arrays of equal length.

    ``query`` and ``candidate`` are positions (int64) in the inputs as given,
    ``answer`` the answers (float64), in the order of the ``vantel match``
    command: by query, then best answer first, then by candidate.
    ``rejected`` lists the strings that took part in no pair (see
    :class:`Rejection`). Iterating gives ``(query, candidate, answer)`` tuples;
    ``len()`` is the number of pairs.
    """

    __slots__ = ("query", "candidate", "answer", "rejected")

    def __init__(self, query: np.ndarray, candidate: np.ndarray, answer: np.ndarray, rejected: list) -> None:
        self.query = query
        self.candidate = candidate
        self.answer = answer
        self.rejected = rejected

    def __len__(self) -> int:
        return len(self.answer)

    def __iter__(self) -> Iterator[Tuple[int, int, float]]:
        return zip(self.query.tolist(), self.candidate.tolist(), self.answer.tolist())

    def __repr__(self) -> str:
        return f"<vantel.Matches: {len(self)} pairs, {len(self.rejected)} rejected>"


class Groups:
    """The duplicate groups that :func:`groups` found, as NumPy arrays of
    equal length, one item per member: ``group`` (from 1, numbered in the
    order of each group's first member), ``member`` (its position in the
    input), ``partner`` (the position of the member its best answer ties it
    to, of equal answers the earliest; -1 for a string alone in its group)
    and ``answer`` (-1.0 for one alone). Members come by group, then by
    position. ``rejected`` lists the strings left out (see :class:`Rejection`).
    """

    __slots__ = ("group", "member", "partner", "answer", "rejected")

    def __init__(self, group, member, partner, answer, rejected) -> None:
        self.group = group
        self.member = member
        self.partner = partner
        self.answer = answer
        self.rejected = rejected

    def __len__(self) -> int:
        return len(self.member)

    def __iter__(self) -> Iterator[Tuple[int, int, int, float]]:
        return zip(self.group.tolist(), self.member.tolist(), self.partner.tolist(), self.answer.tolist())

    def __repr__(self) -> str:
        count = int(self.group.max()) if len(self.group) else 0
        return f"<vantel.Groups: {count} groups, {len(self)} members, {len(self.rejected)} rejected>"


def _frame(columns: dict, rejected: list):
    import pandas

    frame = pandas.DataFrame(columns)
    frame.attrs["rejected"] = rejected
    return frame


def _groups_frame(
    group: np.ndarray,
    member: np.ndarray,
    partner: np.ndarray,
    answer: np.ndarray,
    keys_at: Callable[[np.ndarray], Any],
    values: np.ndarray,
    rejected: list,
):
    """The frame of groups: a row per member with its key, string, partner's
    key and answer; a member alone (partner -1) has no partner and NaN."""
    alone = partner < 0
    if alone.any():
        partner_keys = _object_array(list(keys_at(np.where(alone, 0, partner))))
        partner_keys[alone] = None
    else:
        partner_keys = keys_at(partner)
    return _frame(
        {
            "group": group,
            "key": keys_at(member),
            "string": values[member],
            "partner": partner_keys,
            "answer": np.where(alone, np.nan, answer),
        },
        rejected,
    )


def match(
    queries: Any,
    candidates: Any = None,
    *,
    method: int = 0,
    threshold: float = 80,
    top: Optional[int] = None,
    workers: int = -1,
    as_frame: bool = False,
    order: str = "given",
    nicknames: bool = False,
    aliases: Any = None,
    transliterate: bool = False,
):
    """The pairs whose answer reaches ``threshold``: each query with each
    candidate (the query first), or, with ``candidates=None``, each unordered
    pair of ``queries`` once (the earlier string first, no string with
    itself). Never an n-by-m matrix: only the kept pairs are stored.

    ``queries``/``candidates``: lists, iterables, dicts (the values are
    matched, the keys reported) or pandas Series (the index is the key). A
    non-str item is a TypeError naming its position; a pandas NaN/None, an
    empty string or one longer than 70 UTF-16 code units takes part in no
    pair and is reported in ``rejected``.

    ``top``: keep only the ``top`` best answers of each query (of equal
    answers, the earlier candidate's). ``workers``: threads (-1 or 0: one
    per processor). The GIL is released while matching; Ctrl-C stops the run.

    ``order``, ``nicknames``, ``aliases``, ``transliterate``: the forms of
    names that are compared, as for :func:`compare`; a pair's answer is then
    the largest over the forms of its two strings, and no pair that reaches
    ``threshold`` so is missed.

    Returns :class:`Matches` (positions), or with ``as_frame=True`` a pandas
    DataFrame with columns ``query``, ``candidate`` (keys: index labels of a
    Series, keys of a dict, positions otherwise) and ``answer``, whose
    ``attrs["rejected"]`` lists the rejections.
    """
    names = None
    if order != "given" or nicknames or aliases is not None or transliterate:
        names = _vantel.name_options(order=order, nicknames=nicknames, aliases=aliases, transliterate=transliterate)
    query_input = _read(queries, "queries")
    candidate_input = None if candidates is None else _read(candidates, "candidates")
    positions, partners, answers, reported = _vantel.match(
        query_input.values,
        query_input.missing,
        None if candidate_input is None else candidate_input.values,
        None if candidate_input is None else candidate_input.missing,
        method,
        _threshold(threshold),
        _count(top, "top"),
        _workers(workers),
        names=names,
    )
    second = query_input if candidate_input is None else candidate_input
    rejected = _rejections(reported, (query_input, second))
    if as_frame:
        return _frame(
            {"query": query_input.keys_at(positions), "candidate": second.keys_at(partners), "answer": answers}, rejected
        )
    return Matches(positions, partners, answers, rejected)


def extract(
    query: str, choices: Any, *, limit: Optional[int] = 5, method: int = 0, threshold: float = 0
) -> list:
    """The ``limit`` best choices for ``query`` (``None``: all of them) whose
    answer reaches ``threshold``, as ``(choice, answer, key)`` tuples, best
    first, of equal answers the earlier choice first. ``key`` is the dict key
    or Series index label of the choice, or its position. Choices that cannot
    be compared (empty, longer than 70 units, missing) are never returned,
    as their answer would be -1."""
    if not isinstance(query, str):
        raise TypeError(f"query must be str, not {type(query).__name__}")
    chosen = _read(choices, "choices")
    _, positions, answers, _ = _vantel.match(
        [query], None, chosen.values, chosen.missing, method, _threshold(threshold), _count(limit, "limit"), 1, "choices"
    )
    values = chosen.values
    return [(values[position], answer, chosen.key(position)) for position, answer in zip(positions.tolist(), answers.tolist())]


def extract_one(query: str, choices: Any, *, method: int = 0, threshold: float = 0) -> Optional[tuple]:
    """The best choice for ``query`` as ``(choice, answer, key)``, or None
    when no choice reaches ``threshold``. See :func:`extract`."""
    best = extract(query, choices, limit=1, method=method, threshold=threshold)
    return best[0] if best else None


def groups(
    strings: Any,
    *,
    method: int = 0,
    threshold: float = 80,
    workers: int = -1,
    all: bool = False,  # noqa: A002 - the name of the command's option
    as_frame: bool = False,
):
    """The duplicate groups of one list, exactly as ``vantel match --groups``
    gives them: the connected components of the pairs :func:`match` keeps.
    One member per string that has at least one duplicate (with ``all=True``
    every comparable string, one without duplicates in a group of its own),
    numbered by each group's first member, whatever the number of workers.

    Returns :class:`Groups`, or with ``as_frame=True`` a pandas DataFrame with
    columns ``group``, ``key``, ``string``, ``partner`` (the partner's key;
    missing for a string alone) and ``answer`` (NaN for one alone), whose
    ``attrs["rejected"]`` lists the rejections.
    """
    read = _read(strings, "strings")
    group, member, partner, answer, reported = _vantel.groups(
        read.values, read.missing, method, _threshold(threshold), _workers(workers), bool(all)
    )
    rejected = _rejections(reported, (read, read))
    if not as_frame:
        return Groups(group, member, partner, answer, rejected)
    return _groups_frame(group, member, partner, answer, read.keys_at, _object_array(read.values), rejected)


def cdist(
    queries: Any,
    candidates: Any = None,
    *,
    method: int = 0,
    workers: int = -1,
    max_cells: int = DEFAULT_MAX_CELLS,
) -> np.ndarray:
    """The dense matrix of answers: ``result[i, j]`` is ``compare(queries[i],
    candidates[j], method)`` (float64; -1.0 where Compare refuses a string,
    NaN where a pandas value is missing). ``candidates=None`` compares
    ``queries`` with itself.

    A matrix needs 8 bytes per cell: past ``max_cells`` cells (100 million,
    800 MB, unless raised) cdist refuses with a ValueError instead of
    exhausting memory; :func:`match` gives the pairs that matter without one.
    """
    query_input = _read(queries, "queries")
    candidate_input = query_input if candidates is None else _read(candidates, "candidates")
    rows, columns = len(query_input.values), len(candidate_input.values)
    limit = _integer(max_cells, "max_cells", 0, sys.maxsize)
    if rows * columns > limit:
        raise ValueError(
            f"cdist of {rows:,} queries and {columns:,} candidates would be a matrix of {rows * columns:,} cells "
            f"({rows * columns * 8 / 1e9:,.1f} GB), more than max_cells={limit:,}; "
            "vantel.match gives the pairs that reach a threshold without a matrix, or pass a larger max_cells"
        )
    return _vantel.cdist(
        query_input.values,
        query_input.missing,
        candidate_input.values,
        candidate_input.missing,
        method,
        _workers(workers),
    )


def dedupe(
    frame: Any,
    column: Any,
    *,
    threshold: float = 80,
    method: int = 0,
    keep: Any = None,
    workers: int = -1,
):
    """The duplicate pairs among the rows of a pandas DataFrame, by the
    strings of ``column``: a DataFrame with ``query`` and ``candidate`` (the
    two rows' index labels, the earlier row first), ``answer``, and
    ``query_<name>``/``candidate_<name>`` for ``column`` and each column of
    ``keep`` (a name, a list of names, or True for every column). Rows whose
    string is missing, empty or too long are reported in
    ``attrs["rejected"]``; the pairs are those of :func:`match`.
    """
    import pandas

    if not isinstance(frame, pandas.DataFrame):
        raise TypeError(f"dedupe takes a pandas DataFrame, not {type(frame).__name__}; vantel.match takes lists")
    names = list(frame.columns)
    if keep is True:
        carried = names
    elif keep is None or keep is False:
        carried = []
    elif isinstance(keep, str) or not isinstance(keep, Iterable):
        carried = [keep]
    else:
        carried = list(keep)
    for name in [column, *carried]:
        if name not in frame.columns:
            raise KeyError(f"no column {name!r}; the DataFrame has {names}")
    carried = [column] + [name for name in carried if name != column]

    found = match(frame[column], method=method, threshold=threshold, workers=workers)
    columns = {
        "query": frame.index.take(found.query),
        "candidate": frame.index.take(found.candidate),
        "answer": found.answer,
    }
    for name in carried:
        values = frame[name]
        columns[f"query_{name}"] = values.take(found.query).to_numpy()
        columns[f"candidate_{name}"] = values.take(found.candidate).to_numpy()
    return _frame(columns, found.rejected)
