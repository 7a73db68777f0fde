from typing import Any, Hashable, Literal, Optional, Union, overload

import dask.dataframe as dd
import pandas as pd

from . import Groups, Model

Collection = Union[dd.DataFrame, dd.Series, pd.DataFrame, pd.Series]

def match(
    queries: Collection,
    candidates: Optional[Collection] = None,
    *,
    column: Optional[Hashable] = None,
    method: int = 0,
    threshold: float = 80,
    top: Optional[int] = None,
    npartitions: Optional[int] = None,
) -> dd.DataFrame: ...
@overload
def groups(
    strings: Collection,
    *,
    column: Optional[Hashable] = None,
    method: int = 0,
    threshold: float = 80,
    all: bool = False,
    as_frame: Literal[False] = False,
    npartitions: Optional[int] = None,
) -> Groups: ...
@overload
def groups(
    strings: Collection,
    *,
    column: Optional[Hashable] = None,
    method: int = 0,
    threshold: float = 80,
    all: bool = False,
    as_frame: Literal[True],
    npartitions: Optional[int] = None,
) -> pd.DataFrame: ...

DEFAULT_TRAINING_ROWS: int

def link(
    frame: Union[dd.DataFrame, pd.DataFrame],
    other: Union[dd.DataFrame, pd.DataFrame, None] = None,
    *,
    id: Optional[str] = None,
    fields: Any = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    top: Optional[int] = None,
    model: Union[Model, str, None] = None,
    explain: bool = False,
    sample: int = 1000000,
    training_rows: int = 200000,
    npartitions: Optional[int] = None,
    buckets: Optional[int] = None,
) -> dd.DataFrame: ...
def link_groups(
    frame: Union[dd.DataFrame, pd.DataFrame],
    other: Union[dd.DataFrame, pd.DataFrame, None] = None,
    *,
    id: Optional[str] = None,
    fields: Any = None,
    scan: Any = None,
    block: Any = None,
    threshold: float = 0.9,
    model: Union[Model, str, None] = None,
    all: bool = False,
    sample: int = 1000000,
    training_rows: int = 200000,
    npartitions: Optional[int] = None,
    buckets: Optional[int] = None,
) -> pd.DataFrame: ...
