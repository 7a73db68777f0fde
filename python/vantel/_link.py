"""Record linkage on pandas DataFrames: vantel.link, vantel.link_groups,
vantel.Field and vantel.Model, over the library's linkage pipeline (the one
the ``vantel link`` command runs, so the pairs, probabilities and groups are
the command's, bit for bit, on the same data and model).

Values are handed to the native pipeline as str; a missing value (NaN,
None, ``pd.NA``, ``NaT``) or an empty string is "missing" for its field.
"""

from __future__ import annotations

import os
from collections.abc import Mapping
from typing import Any, List, Optional, Sequence, Union

import numpy as np

from . import _vantel
from ._api import Rejection, _count, _integer, _object_array, _workers

__all__ = ["Field", "Model", "link", "link_groups"]

_FRAMES = ("frame", "other")
_KINDS = ("name", "text", "exact", "date", "code", "email")
_DEFAULT_SAMPLE = 1_000_000


def _pandas():
    import pandas

    return pandas


def _parameter(value: Any) -> str:
    if isinstance(value, bool):
        return "on" if value else "off"
    if isinstance(value, (list, tuple)):
        return ",".join(_parameter(item) for item in value)
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return os.fspath(value) if isinstance(value, os.PathLike) else str(value)


class Field:
    """One field to compare: a column and the kind of comparison, with the
    kind's parameters, as ``vantel link --field COLUMN:KIND:KEY=VALUE`` takes
    them::

        vantel.Field("surname", "name", method=2, levels=[95, 88, 80], tf=True)
        vantel.Field("given_name", "name", nicknames=True, order="any")
        vantel.Field("birth_date", "date", format="DD/MM/YYYY")

    Kinds: ``name``, ``text``, ``exact``, ``date``, ``code``, ``email``.
    Parameters: ``method``, ``levels`` (thresholds, descending), ``format``
    (dates), ``tf`` (term frequencies), for names ``order`` ("written"
    or "any"), ``nicknames``, ``aliases`` (a file), ``transliterate`` and
    ``initials`` (booleans) and ``swap`` (another name field's column: the
    level "swapped"), for names, text and e-mail ``edits`` (a boolean: the
    level "one-edit"), for codes ``tail`` (compare only the last N letters
    and digits, as for phones). An unknown kind or parameter, or a bad
    value, is a ValueError naming it.
    """

    __slots__ = ("column", "kind", "params", "text")

    def __init__(self, column: str, kind: str, **params: Any) -> None:
        if not isinstance(column, str) or not column:
            raise TypeError(f"a field's column must be a non-empty str, not {column!r}")
        if ":" in column:
            raise ValueError(f"a field's column cannot hold ':' ({column!r})")
        if not isinstance(kind, str):
            raise TypeError(f"the kind of field {column!r} must be a str, not {type(kind).__name__}")
        self.column = column
        self.kind = kind
        self.params = dict(params)
        text = ":".join([column, kind] + [f"{key}={_parameter(value)}" for key, value in params.items()])
        self.text = _vantel.link_field(text)

    @classmethod
    def parse(cls, text: str) -> "Field":
        """A field as the command line writes it: "surname:name:method=2"."""
        if not isinstance(text, str):
            raise TypeError(f"a field must be a vantel.Field or a str, not {type(text).__name__}")
        column, _, rest = text.partition(":")
        kind, _, rest = rest.partition(":")
        params = dict(part.split("=", 1) if "=" in part else (part, "") for part in rest.split(":") if part)
        return cls(column, kind, **params)

    def __repr__(self) -> str:
        shown = "".join(f", {key}={value!r}" for key, value in self.params.items())
        return f"vantel.Field({self.column!r}, {self.kind!r}{shown})"

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Field) and self.text == other.text

    def __hash__(self) -> int:
        return hash(self.text)


FieldsArgument = Union[Mapping, Sequence, None]


def _field_texts(fields: FieldsArgument, model: Optional["Model"]) -> List[str]:
    if fields is None:
        if model is None:
            raise ValueError("give fields (a dict of column to kind, or a list of vantel.Field) or a model")
        return list(model.fields)
    if isinstance(fields, Mapping):
        chosen = [kind if isinstance(kind, Field) else Field(column, kind) for column, kind in fields.items()]
    elif isinstance(fields, (list, tuple)):
        chosen = [item if isinstance(item, Field) else Field.parse(item) for item in fields]
    else:
        raise TypeError(f"fields must be a dict of column to kind or a list of vantel.Field, not {type(fields).__name__}")
    if not chosen:
        raise ValueError("give at least one field")
    return [field.text for field in chosen]


def _rule_texts(rules: Any, name: str) -> List[str]:
    if rules is None:
        return []
    if isinstance(rules, str):
        return [rules]
    if isinstance(rules, Mapping) and name == "scan":
        return [f"{column}:{_parameter(threshold)}" for column, threshold in rules.items()]
    texts = []
    for rule in rules:
        if isinstance(rule, (list, tuple)) and name == "block":
            rule = "+".join(rule)
        if not isinstance(rule, str):
            raise TypeError(f"{name} rules must be str, not {type(rule).__name__}")
        texts.append(rule)
    return texts


def _check_frame(frame: Any, name: str) -> None:
    pandas = _pandas()
    if not isinstance(frame, pandas.DataFrame):
        raise TypeError(f"{name} must be a pandas DataFrame, not {type(frame).__name__}")


def _texts(frame: Any, column: str, name: str) -> list:
    """A column as str, "" for a missing value; any other value is a TypeError."""
    pandas = _pandas()
    if column not in frame.columns:
        raise ValueError(f"{name} has no column {column!r}; it has {[str(c) for c in frame.columns][:40]}")
    series = frame[column]
    if isinstance(series, pandas.DataFrame):
        raise ValueError(f"{name} has the column {column!r} more than once")
    missing = np.asarray(pandas.isna(series), dtype=bool)
    values = series.tolist()
    if pandas.api.types.infer_dtype(series, skipna=True) not in ("string", "empty"):
        for position, value in enumerate(values):
            if not missing[position] and not isinstance(value, str):
                raise TypeError(
                    f"column {column!r} of {name} must hold str (or missing values): the row "
                    f"{series.index[position]!r} holds {type(value).__name__} {value!r}"
                    + ("; convert dates with .dt.strftime('%Y-%m-%d')" if hasattr(value, "strftime") else "")
                )
    if missing.any():
        for position in np.flatnonzero(missing):
            values[position] = ""
    return values


def _probability(threshold: Any) -> float:
    """A match probability to keep pairs at, 0 to 1, as a float."""
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float, np.integer, np.floating)):
        raise TypeError(f"threshold must be a number, not {type(threshold).__name__}")
    if not 0.0 <= float(threshold) <= 1.0:
        raise ValueError(f"threshold must be a probability from 0 to 1, not {threshold!r}")
    return float(threshold)


def _keys(frame: Any, id: Optional[str], name: str):  # noqa: A002 - the command's option
    if id is None:
        index = frame.index
        pandas = _pandas()
        return index.to_flat_index() if isinstance(index, pandas.MultiIndex) else index
    if id not in frame.columns:
        raise ValueError(f"{name} has no column {id!r} (id); it has {[str(c) for c in frame.columns][:40]}")
    return _pandas().Index(frame[id].to_numpy())


class _Run:
    """One call of the native pipeline over one or two frames."""

    def __init__(
        self,
        frame: Any,
        other: Any,
        *,
        fields: FieldsArgument,
        scan: Any,
        block: Any,
        model: Optional["Model"],
        id: Optional[str] = None,  # noqa: A002 - the command's option
        truth: Optional[str] = None,
        threshold: float = 0.9,
        top: Optional[int] = None,
        score: bool = True,
        explain: bool = False,
        groups: int = 0,
        sample: int = _DEFAULT_SAMPLE,
        workers: int = -1,
    ) -> None:
        _check_frame(frame, "frame")
        if other is not None:
            _check_frame(other, "other")
            # Without rows in both frames there is no pair to link, nor a model to train.
            if len(other) == 0 or len(frame) == 0:
                raise ValueError(f"{'other' if len(other) == 0 else 'frame'} has no rows to link")
        if model is not None and not isinstance(model, Model):
            model = Model.load(model) if isinstance(model, (str, os.PathLike)) else model
            if not isinstance(model, Model):
                raise TypeError(f"model must be a vantel.Model or the path of a saved one, not {type(model).__name__}")
        threshold = _probability(threshold)
        for number, each in enumerate([frame] if other is None else [frame, other]):
            if id is not None and id not in each.columns:
                raise ValueError(f"{_FRAMES[number]} has no column {id!r} (id); it has {[str(c) for c in each.columns][:40]}")
        field_texts = _field_texts(fields, model)
        scans, blocks = _rule_texts(scan, "scan"), _rule_texts(block, "block")
        frames = [frame] if other is None else [frame, other]
        # The columns the fields and rules name, as the library reads them.
        self.columns, names = _vantel.link_columns(field_texts, scans, blocks)
        if truth is not None:
            if not isinstance(truth, str):
                raise TypeError(f"truth must be a column name, not {type(truth).__name__}")
            names += [] if truth in names else [truth]
        columns = {}
        for column in names:
            columns[column] = [value for number, each in enumerate(frames) for value in _texts(each, column, _FRAMES[number])]
        self.frames = frames
        self.first_count = len(frame)
        self.fields = field_texts
        self.found = _vantel.link(
            columns,
            sum(len(each) for each in frames),
            self.first_count,
            field_texts,
            scans,
            blocks,
            None if model is None else model._native,
            float(threshold),
            _count(top, "top"),
            score,
            explain,
            groups,
            _integer(sample, "sample", 1, 1 << 32),
            _workers(workers),
            truth,
        )
        self.model = model if model is not None else Model(self.found["model"])

    def rejected(self, keys: list) -> list:
        rejections = []
        for position, reason in self.found["rejected"]:
            side = 0 if position < self.first_count else 1
            local = position - (0 if side == 0 else self.first_count)
            rejections.append(Rejection(_FRAMES[side], local, keys[side][local], reason))
        return rejections

    def annotate(self, result: Any, keys: list) -> Any:
        result.attrs["rejected"] = self.rejected(keys)
        result.attrs["model"] = self.model
        result.attrs["candidates"] = int(self.found["candidates"])
        result.attrs["rules"] = dict(zip(self.found["rules"], (int(n) for n in self.found["per_rule"])))
        result.attrs["unreadable"] = dict(zip(self.columns, (int(n) for n in self.found["unreadable"])))
        return result


def link(
    frame: Any,
    other: Any = None,
    *,
    id: Optional[str] = None,  # noqa: A002 - the command's option
    fields: FieldsArgument = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    top: Optional[int] = None,
    model: Any = None,
    explain: bool = False,
    sample: int = _DEFAULT_SAMPLE,
    workers: int = -1,
):
    """The pairs of records that are one person (or one thing): the
    duplicates within ``frame``, or each row of ``frame`` linked to the rows
    of ``other``, as ``vantel link`` finds them.

    ``fields``: a dict of column to kind (``{"surname": "name",
    "birth_date": "date"}``) or a list of :class:`Field` (or of the
    command's texts, "surname:name:method=2"); with a ``model`` they may be
    left out (the model's are used). ``scan``: rules "C:T" (or a dict of
    column to threshold): every pair whose answer on C reaches T. ``block``:
    rules "K[+K...]" (K a column, ``phonetic(C)``, ``first(C,N)`` or
    ``year(C)``). Without rules, the command's defaults. ``model``: a
    :class:`Model` (or the path of a saved one) applied instead of training
    one on the frames (on ``sample`` random pairs for u). ``top``: linking,
    the ``top`` best pairs of each row of ``frame``.

    Returns a pandas DataFrame, a row per pair whose probability reaches
    ``threshold``: ``query`` and ``candidate`` (index labels, or the values
    of the column ``id``), ``probability`` and ``weight``, in the order of
    the command (by query, the heaviest first); with ``explain`` also, for
    each field, ``<column>_query``, ``<column>_candidate``, ``<column>_level``
    and ``<column>_weight``. Its ``attrs``: ``rejected`` (a list of
    :class:`Rejection`, ``list`` "frame" or "other": rows that took part in
    no pair, a str without UTF-8 form), ``model`` (the :class:`Model` used),
    ``candidates`` (how many pairs were scored), ``rules`` (pairs per rule)
    and ``unreadable`` (per field, values that could not be read, such as a
    date that is not a date, and counted as missing).
    """
    if top is not None and other is None:
        raise ValueError("top goes with an other frame (linking)")
    run = _Run(
        frame, other, fields=fields, scan=scan, block=block, model=model, id=id, threshold=threshold, top=top,
        explain=explain, sample=sample, workers=workers,
    )
    return _pairs_frame(run, id, explain)


def _explain_columns(columns: dict, shown: list, first_values: dict, second_values: dict, first, second, found) -> None:
    """The columns that ``explain`` adds, as vantel.link names and orders
    them: each field's two values, its level and its weight."""
    for number, column in enumerate(shown):
        columns[f"{column}_query"] = first_values[column][first]
        columns[f"{column}_candidate"] = second_values[column][second]
        columns[f"{column}_level"] = found["levels"][number] if found is not None else np.empty(0, dtype=object)
        columns[f"{column}_weight"] = found["field_weights"][number] if found is not None else np.empty(0)


def _pairs_frame(run: _Run, id: Optional[str], explain: bool):  # noqa: A002
    pandas = _pandas()
    keys = [_keys(each, id, _FRAMES[n]) for n, each in enumerate(run.frames)]
    found = run.found
    first, second = found["first"], found["second"]
    columns = {
        "query": keys[0].take(first),
        "candidate": keys[-1].take(second - (run.first_count if len(keys) == 2 else 0)),
        "probability": found["probability"],
        "weight": found["weight"],
    }
    if explain:
        values = {
            column: np.concatenate([_object_array(each[column].tolist()) for each in run.frames])
            for column in run.columns
        }
        _explain_columns(columns, run.columns, values, values, first, second, found)
    result = pandas.DataFrame(columns)
    return run.annotate(result, keys)


def link_groups(
    frame: Any,
    other: Any = None,
    *,
    id: Optional[str] = None,  # noqa: A002 - the command's option
    fields: FieldsArgument = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    model: Any = None,
    all: bool = False,  # noqa: A002 - the command's option
    sample: int = _DEFAULT_SAMPLE,
    workers: int = -1,
):
    """The groups of duplicates in ``frame`` (or of the rows of ``frame``
    and ``other`` that are one person): the connected components of the
    pairs :func:`link` keeps, as ``vantel link --groups`` writes them.

    Returns a pandas DataFrame, a row per member: ``group`` (from 1, in the
    order of each group's first row), ``id`` (the index label, or the value
    of the column ``id``), ``size`` and ``density`` (the share of the group's
    member pairs that reach the threshold: low for a chain held by weak
    links). Linking, ``file`` (1 for ``frame``, 2 for ``other``) follows
    ``group``, and a group's member pairs are those of one row of each.
    With ``all`` every other row too, as a group of one. ``attrs`` as
    :func:`link`'s.
    """
    pandas = _pandas()
    run = _Run(
        frame, other, fields=fields, scan=scan, block=block, model=model, id=id, threshold=threshold,
        groups=2 if all else 1, sample=sample, workers=workers,
    )
    keys = [_keys(each, id, _FRAMES[n]) for n, each in enumerate(run.frames)]
    found = run.found
    result = pandas.DataFrame(_group_columns(found["group"], found["member"], found["size"], found["density"], keys))
    return run.annotate(result, keys)


def _join_keys(indexes: list):
    """The labels of ``indexes`` one after the other: of their dtype when
    they share one, else of object dtype. ``Index.append`` alone would infer
    a dtype from an object Index's values (ints come out int64), so that
    the labels would depend on how the rows were split."""
    if len(indexes) == 1:
        return indexes[0]
    pandas = _pandas()
    if not indexes:
        return pandas.Index([], dtype=object)
    dtype = indexes[0].dtype
    if dtype != object and all(index.dtype == dtype for index in indexes):
        return indexes[0].append(list(indexes[1:]))
    values = np.concatenate([np.asarray(index, dtype=object) for index in indexes])
    return pandas.Index(values, dtype=object, tupleize_cols=False)


def _group_columns(group, member, size, density, keys: list) -> dict:
    """The columns of a groups frame, as vantel.link_groups names and orders
    them; ``member`` counts the rows of all ``keys`` in turn."""
    columns = {"group": group}
    if len(keys) == 2:
        first = len(keys[0])
        in_first = member < first
        columns["file"] = np.where(in_first, 1, 2).astype(np.int64)
        columns["id"] = _join_keys(keys).take(member)
    else:
        columns["id"] = keys[0].take(member)
    columns["size"] = size
    columns["density"] = density
    return columns


class Model:
    """A trained linkage model: for each field and level, m (how often true
    matches show it), u (how often non-matches do) and the weight log2(m/u),
    and the prior share of matches. Saved as the JSON of
    ``vantel link --save-model``, which ``vantel link --model`` applies, and
    the other way round.

        model = vantel.Model.train(people, fields={"surname": "name", "birth_date": "date"})
        model.save("people-model.json")
        model.to_frame()                          # the m, u and weight table
        model.evaluate(people, truth="person_id")  # precision, recall, F1 by threshold
    """

    __slots__ = ("_native",)

    def __init__(self, native: Any) -> None:
        if not isinstance(native, _vantel.LinkModel):
            raise TypeError("use vantel.Model.train or vantel.Model.load")
        self._native = native

    @classmethod
    def train(
        cls,
        frame: Any,
        other: Any = None,
        *,
        fields: FieldsArgument,
        scan: Any = None,
        block: Any = None,
        sample: int = _DEFAULT_SAMPLE,
        workers: int = -1,
    ) -> "Model":
        """Trains a model on ``frame`` (or ``frame`` linked to ``other``)
        without labels, as :func:`link` does before scoring: u from
        ``sample`` random pairs, m and the prior by expectation-maximisation
        over the candidate pairs of the rules."""
        return _Run(
            frame, other, fields=fields, scan=scan, block=block, model=None, score=False, sample=sample, workers=workers
        ).model

    @classmethod
    def load(cls, path: Union[str, os.PathLike]) -> "Model":
        """A model saved by :meth:`save` or ``vantel link --save-model``; a
        file that is not one is a ValueError saying what does not fit."""
        with open(path, encoding="utf-8") as file:
            return cls.from_json(file.read())

    @classmethod
    def from_json(cls, text: str) -> "Model":
        return cls(_vantel.LinkModel.from_json(text))

    def to_json(self) -> str:
        return self._native.to_json()

    def save(self, path: Union[str, os.PathLike]) -> None:
        with open(path, "w", encoding="utf-8") as file:
            file.write(self.to_json())

    @property
    def fields(self) -> List[str]:
        """The fields, as the command line writes them ("surname:name:method=2:...")."""
        return list(self._native.fields)

    @property
    def prior(self) -> float:
        return self._native.prior

    @property
    def prior_weight(self) -> float:
        return self._native.prior_weight

    def to_frame(self):
        """The table of the model: a row per field and level with
        ``field``, ``kind``, ``level`` (its number), ``name``, ``m``, ``u``
        and ``weight`` (log2(m/u)); ``attrs["prior"]`` the prior."""
        pandas = _pandas()
        table = pandas.DataFrame(self._native.table(), columns=["field", "kind", "level", "name", "m", "u", "weight"])
        table.attrs["prior"] = self.prior
        return table

    def evaluate(
        self,
        frame: Any,
        other: Any = None,
        *,
        truth: str = "entity",
        scan: Any = None,
        block: Any = None,
        workers: int = -1,
    ):
        """Precision, recall and F1 of the pairs this model keeps at
        thresholds 0.5, 0.8, 0.9, 0.95, 0.99 and 0.999, against the column
        ``truth`` (rows with the same value are one entity; a missing value
        is an entity of its own), as ``vantel link --truth`` reports them.
        Columns ``threshold``, ``pairs``, ``precision``, ``recall``, ``f1``,
        and the same of the groups (``group_precision``, ``group_recall``,
        ``group_f1``; linking, a group's pairs are those of one row of each
        frame). ``attrs``:
        ``candidates`` and ``candidate_recall`` (the most any model could
        find with these rules)."""
        pandas = _pandas()
        run = _Run(frame, other, fields=None, scan=scan, block=block, model=self, truth=truth, score=False, workers=workers)
        names = ["threshold", "pairs", "precision", "recall", "f1", "group_precision", "group_recall", "group_f1"]
        if "evaluation" not in run.found:
            raise ValueError("nothing to evaluate: a frame has no row that can take part")
        table = pandas.DataFrame(run.found["evaluation"], columns=names)
        table.attrs["candidates"] = int(run.found["candidates"])
        table.attrs["candidate_recall"] = float(run.found["candidate_recall"])
        return table

    def plot_waterfall(self, pair: Any, ax: Any = None):
        """The match weight of one pair as a waterfall: the prior, then what
        each field adds, to the pair's weight. ``pair`` is a row of
        ``vantel.link(..., explain=True)`` (a Series). Needs matplotlib."""
        plt = _pyplot()
        if ax is None:
            _, ax = plt.subplots(figsize=(7, 3.5))
        columns = _vantel.link_columns(self.fields, [], [])[0]
        missing = [f"{column}_weight" for column in columns if f"{column}_weight" not in pair]
        if missing:
            raise ValueError(f"the pair lacks {missing}: give a row of vantel.link(..., explain=True)")
        labels = ["prior"] + [f"{column}\n{pair[f'{column}_level']}" for column in columns]
        steps = [self.prior_weight] + [float(pair[f"{column}_weight"]) for column in columns]
        starts = np.concatenate([[0.0], np.cumsum(steps)[:-1]])
        colours = ["tab:green" if step >= 0 else "tab:red" for step in steps]
        ax.bar(range(len(steps)), steps, bottom=starts, color=colours)
        total = float(np.sum(steps))
        ax.bar(len(steps), total, color="tab:blue")
        ax.set_xticks(range(len(steps) + 1), labels + ["weight"], fontsize=8)
        ax.axhline(0, color="black", linewidth=0.5)
        ax.set_ylabel("match weight (log2 odds)")
        ax.set_title(f"{pair.get('query', '')} - {pair.get('candidate', '')}: weight {total:.2f}")
        return ax

    def plot_precision_recall(self, evaluation: Any, ax: Any = None):
        """The precision-recall curve of :meth:`evaluate`'s table, each point
        labelled with its threshold. Needs matplotlib."""
        plt = _pyplot()
        if ax is None:
            _, ax = plt.subplots(figsize=(4.5, 4))
        ax.plot(evaluation["recall"], evaluation["precision"], marker="o")
        for row in evaluation.itertuples(index=False):
            ax.annotate(f"{row.threshold:g}", (row.recall, row.precision), textcoords="offset points", xytext=(4, 4), fontsize=8)
        ax.set_xlabel("recall")
        ax.set_ylabel("precision")
        ax.set_title("pairs kept, by threshold")
        return ax

    def __reduce__(self):
        return (Model.from_json, (self.to_json(),))

    def __repr__(self) -> str:
        return f"vantel.Model(fields={self.fields!r}, prior={self.prior!r})"


def _pyplot():
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        raise ImportError("the charts of vantel.Model need matplotlib (Debian: python3-matplotlib)") from None
    return plt
