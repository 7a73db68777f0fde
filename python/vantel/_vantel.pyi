# The native module; use the package vantel (see vantel/__init__.pyi).
import os
from typing import Any, Dict, List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str
MAX_LENGTH: int

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

_Rejected = List[Tuple[int, int, str]]

def checked_threshold(threshold: float) -> float: ...
def checked_workers(workers: int) -> int: ...
def match(
    queries: list,
    queries_missing: Optional[npt.NDArray[np.bool_]],
    candidates: Optional[list],
    candidates_missing: Optional[npt.NDArray[np.bool_]],
    method: int,
    threshold: float,
    top: int,
    workers: int,
    candidates_name: str = "candidates",
    names: Optional["NameOptions"] = None,
) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.float64], _Rejected]: ...
def cdist(
    queries: list,
    queries_missing: Optional[npt.NDArray[np.bool_]],
    candidates: list,
    candidates_missing: Optional[npt.NDArray[np.bool_]],
    method: int,
    workers: int,
) -> npt.NDArray[np.float64]: ...
def groups(
    strings: list,
    strings_missing: Optional[npt.NDArray[np.bool_]],
    method: int,
    threshold: float,
    workers: int,
    all: bool,
) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.float64], _Rejected]: ...
def groups_of_pairs(
    count: int,
    query: npt.NDArray[np.int64],
    candidate: npt.NDArray[np.int64],
    answer: npt.NDArray[np.float64],
    rejected: npt.NDArray[np.int64],
    all: bool,
) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.float64]]: ...
class NameOptions:
    @property
    def any(self) -> bool: ...

def name_options(
    order: str = "given",
    nicknames: bool = False,
    aliases: Union[str, "os.PathLike[str]", NameTable, None] = None,
    transliterate: bool = False,
) -> NameOptions: ...

class LinkModel:
    @staticmethod
    def from_json(text: str) -> "LinkModel": ...
    def to_json(self) -> str: ...
    @property
    def fields(self) -> List[str]: ...
    @property
    def prior(self) -> float: ...
    @property
    def prior_weight(self) -> float: ...
    @property
    def converged(self) -> bool: ...
    @property
    def iterations(self) -> int: ...
    def table(self) -> List[Tuple[str, str, int, str, float, float, float]]: ...

def link(
    columns: Dict[str, List[str]],
    row_count: int,
    first_count: int,
    fields: List[str],
    scans: List[str],
    blocks: List[str],
    model: Optional[LinkModel],
    threshold: float,
    top: int,
    score: bool,
    explain: bool,
    groups: int,
    sample: int,
    workers: int,
    truth: Optional[str],
    terms: Optional[List[Dict[str, int]]] = None,
    first_texts: Optional[List[Dict[str, str]]] = None,
    share: Optional[int] = None,
) -> Dict[str, Any]: ...
def link_block_keys(
    columns: Dict[str, List[str]], row_count: int, fields: List[str], scans: List[str], blocks: List[str]
) -> List[Tuple[int, npt.NDArray[np.uint64], npt.NDArray[np.uint8]]]: ...
def link_rule_kinds(fields: List[str], scans: List[str], blocks: List[str]) -> List[str]: ...
def link_terms(
    columns: Dict[str, List[str]], row_count: int, fields: List[str]
) -> Tuple[List[Dict[str, int]], List[Dict[str, str]], List[Tuple[int, str]], List[Dict[str, str]]]: ...
def link_merge_first_texts(
    own: List[List[Dict[str, str]]], swap: List[List[Dict[str, str]]]
) -> List[Dict[str, str]]: ...
def link_groups_of_pairs(
    count: int,
    first: npt.NDArray[np.int64],
    second: npt.NDArray[np.int64],
    all: bool,
    first_count: Optional[int] = None,
) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.int64], npt.NDArray[np.float64]]: ...
def link_columns(fields: List[str], scans: List[str], blocks: List[str]) -> Tuple[List[str], List[str]]: ...
def link_field(given: str) -> str: ...
