import os
from typing import Any, Hashable, Iterable, Iterator, List, Literal, Mapping, NamedTuple, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt
import pandas as pd

__version__: str
MAX_LENGTH: int
DEFAULT_MAX_CELLS: int

Strings = Union[Iterable[str], Mapping[Hashable, str], "pd.Series[str]"]

class VantelError(RuntimeError):
    number: int
    description: str
    def __init__(self, number: int, description: str) -> None: ...

def compare(
    a: str,
    b: str,
    method: int = 0,
    order: Optional[str] = None,
    nicknames: Optional[bool] = None,
    aliases: Union[str, "os.PathLike[str]", "NameTable", None] = None,
    transliterate: Optional[bool] = None,
) -> float: ...
def phonetic(word: str) -> str: ...

class NameTable:
    def __init__(self) -> None: ...
    @staticmethod
    def english() -> "NameTable": ...
    @staticmethod
    def read(path: str) -> "NameTable": ...
    @staticmethod
    def parse(text: str, source: str = "<text>") -> "NameTable": ...
    def add(self, other: "NameTable") -> None: ...
    @property
    def group_count(self) -> int: ...
    def formal_names(self, name: str) -> List[str]: ...

def name_forms(
    text: str,
    order: str = "given",
    nicknames: bool = False,
    aliases: Union[str, "os.PathLike[str]", NameTable, None] = None,
    transliterate: bool = False,
) -> List[str]: ...

class CompareUS:
    def __init__(self) -> None: ...
    def Compare(self, Lachaine1: str, Lachaine2: str, LaMethode: int) -> float: ...
    def InitVT(self) -> None: ...
    def compare(self, a: str, b: str, method: int = 0) -> float: ...
    def phonetic_form(self, word: str) -> str: ...
    @property
    def initialized(self) -> bool: ...

class Rejection(NamedTuple):
    list: str
    position: int
    key: Any
    reason: str

class Matches:
    query: npt.NDArray[np.int64]
    candidate: npt.NDArray[np.int64]
    answer: npt.NDArray[np.float64]
    rejected: List[Rejection]
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Tuple[int, int, float]]: ...

class Groups:
    group: npt.NDArray[np.int64]
    member: npt.NDArray[np.int64]
    partner: npt.NDArray[np.int64]
    answer: npt.NDArray[np.float64]
    rejected: List[Rejection]
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Tuple[int, int, int, float]]: ...

@overload
def match(
    queries: Strings,
    candidates: Optional[Strings] = None,
    *,
    method: int = 0,
    threshold: float = 80,
    top: Optional[int] = None,
    workers: int = -1,
    as_frame: Literal[False] = False,
    order: str = "given",
    nicknames: bool = False,
    aliases: Union[str, "os.PathLike[str]", NameTable, None] = None,
    transliterate: bool = False,
) -> Matches: ...
@overload
def match(
    queries: Strings,
    candidates: Optional[Strings] = None,
    *,
    method: int = 0,
    threshold: float = 80,
    top: Optional[int] = None,
    workers: int = -1,
    as_frame: Literal[True],
    order: str = "given",
    nicknames: bool = False,
    aliases: Union[str, "os.PathLike[str]", NameTable, None] = None,
    transliterate: bool = False,
) -> pd.DataFrame: ...
def extract(
    query: str, choices: Strings, *, limit: Optional[int] = 5, method: int = 0, threshold: float = 0
) -> List[Tuple[str, float, Any]]: ...
def extract_one(query: str, choices: Strings, *, method: int = 0, threshold: float = 0) -> Optional[Tuple[str, float, Any]]: ...
@overload
def groups(
    strings: Strings,
    *,
    method: int = 0,
    threshold: float = 80,
    workers: int = -1,
    all: bool = False,
    as_frame: Literal[False] = False,
) -> Groups: ...
@overload
def groups(
    strings: Strings,
    *,
    method: int = 0,
    threshold: float = 80,
    workers: int = -1,
    all: bool = False,
    as_frame: Literal[True],
) -> pd.DataFrame: ...
def cdist(
    queries: Strings,
    candidates: Optional[Strings] = None,
    *,
    method: int = 0,
    workers: int = -1,
    max_cells: int = 100_000_000,
) -> npt.NDArray[np.float64]: ...
def dedupe(
    frame: pd.DataFrame,
    column: Hashable,
    *,
    threshold: float = 80,
    method: int = 0,
    keep: Union[None, bool, Hashable, Sequence[Hashable]] = None,
    workers: int = -1,
) -> pd.DataFrame: ...

class Field:
    column: str
    kind: str
    params: dict
    text: str
    def __init__(self, column: str, kind: str, **params: Any) -> None: ...
    @classmethod
    def parse(cls, text: str) -> "Field": ...

class Model:
    @classmethod
    def train(
        cls,
        frame: pd.DataFrame,
        other: Optional[pd.DataFrame] = None,
        *,
        fields: Union[Mapping[str, Union[str, "Field"]], Sequence[Union["Field", str]], None],
        scan: Union[str, Sequence[str], Mapping[str, float], None] = None,
        block: Union[str, Sequence[Union[str, Sequence[str]]], None] = None,
        sample: int = 1000000,
        workers: int = -1,
    ) -> "Model": ...
    @classmethod
    def load(cls, path: Union[str, "os.PathLike[str]"]) -> "Model": ...
    @classmethod
    def from_json(cls, text: str) -> "Model": ...
    def to_json(self) -> str: ...
    def save(self, path: Union[str, "os.PathLike[str]"]) -> None: ...
    @property
    def fields(self) -> List[str]: ...
    @property
    def prior(self) -> float: ...
    @property
    def prior_weight(self) -> float: ...
    def to_frame(self) -> pd.DataFrame: ...
    def evaluate(
        self,
        frame: pd.DataFrame,
        other: Optional[pd.DataFrame] = None,
        *,
        truth: str = "entity",
        scan: Union[str, Sequence[str], Mapping[str, float], None] = None,
        block: Union[str, Sequence[Union[str, Sequence[str]]], None] = None,
        workers: int = -1,
    ) -> pd.DataFrame: ...
    def plot_waterfall(self, pair: "pd.Series[Any]", ax: Any = None) -> Any: ...
    def plot_precision_recall(self, evaluation: pd.DataFrame, ax: Any = None) -> Any: ...

def link(
    frame: pd.DataFrame,
    other: Optional[pd.DataFrame] = None,
    *,
    id: Optional[str] = None,
    fields: Union[Mapping[str, Union[str, "Field"]], Sequence[Union["Field", str]], None] = None,
    scan: Union[str, Sequence[str], Mapping[str, float], None] = None,
    block: Union[str, Sequence[Union[str, Sequence[str]]], None] = None,
    threshold: float = 0.9,
    top: Optional[int] = None,
    model: Union[Model, str, "os.PathLike[str]", None] = None,
    explain: bool = False,
    sample: int = 1000000,
    workers: int = -1,
) -> pd.DataFrame: ...
def link_groups(
    frame: pd.DataFrame,
    other: Optional[pd.DataFrame] = None,
    *,
    id: Optional[str] = None,
    fields: Union[Mapping[str, Union[str, "Field"]], Sequence[Union["Field", str]], None] = None,
    scan: Union[str, Sequence[str], Mapping[str, float], None] = None,
    block: Union[str, Sequence[Union[str, Sequence[str]]], None] = None,
    threshold: float = 0.9,
    model: Union[Model, str, "os.PathLike[str]", None] = None,
    all: bool = False,
    sample: int = 1000000,
    workers: int = -1,
) -> pd.DataFrame: ...
