"""Vantel: how alike two short strings are, in spelling and in sound.

One pair::

    >>> import vantel
    >>> vantel.compare("cat", "kat", method=2)
    83.33

One query against many choices: :func:`extract_one`, :func:`extract`.
Whole lists, on every core, as sparse pairs: :func:`match`, :func:`groups`,
:func:`dedupe`; a dense matrix when asked for: :func:`cdist`. Every answer is
exactly that of :func:`compare` (and of the ``vantel`` command and the
``CompareUS`` automation object) for that pair, in that order.

Records of several fields, as ``vantel link`` links them, on pandas
DataFrames: :func:`link`, :func:`link_groups`, :class:`Field`, :class:`Model`.

Strings are compared as UTF-16 code units; a string that is empty or longer
than 70 units cannot be compared (``compare`` gives -1.0, the batch functions
leave it out and report it in the result's ``rejected``).
"""

from ._errors import VantelError
from ._vantel import MAX_LENGTH, CompareUS, NameTable, __version__, compare, name_forms, phonetic
from ._api import (
    DEFAULT_MAX_CELLS,
    Groups,
    Matches,
    Rejection,
    cdist,
    dedupe,
    extract,
    extract_one,
    groups,
    match,
)
from ._link import Field, Model, link, link_groups

__all__ = [
    "DEFAULT_MAX_CELLS",
    "Field",
    "MAX_LENGTH",
    "CompareUS",
    "Groups",
    "Matches",
    "Model",
    "NameTable",
    "Rejection",
    "VantelError",
    "__version__",
    "cdist",
    "compare",
    "dedupe",
    "extract",
    "extract_one",
    "groups",
    "link",
    "link_groups",
    "match",
    "name_forms",
    "phonetic",
]
