from typing import Any, Hashable, Literal, Optional, Union, overload

import dask.dataframe as dd
import pandas as pd

from . import Groups

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
