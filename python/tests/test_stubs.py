"""The type stubs describe what the package offers, name for name and
parameter for parameter."""

import ast
import inspect
import re
from pathlib import Path

import pytest

import vantel
import vantel._vantel as native

PACKAGE = Path(vantel.__file__).parent


def stub(name):
    tree = ast.parse((PACKAGE / name).read_text())
    functions, classes, names = {}, {}, set()
    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            functions.setdefault(node.name, node)  # of overloads, the first (as_frame=False)
            names.add(node.name)
        elif isinstance(node, ast.ClassDef):
            classes[node.name] = {item.name for item in node.body if isinstance(item, ast.FunctionDef)}
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
        elif isinstance(node, ast.Assign):
            names.update(target.id for target in node.targets)
    return functions, classes, names


def parameters(node):
    arguments = node.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [None] * (len(positional) - len(arguments.defaults)) + list(arguments.defaults)
    described = [(a.arg, "positional", d) for a, d in zip(positional, defaults)]
    described += [(a.arg, "keyword", d) for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)]
    return [(name, kind, None if default is None else ast.literal_eval(default)) for name, kind, default in described]


def runtime_parameters(function):
    described = []
    for parameter in inspect.signature(function).parameters.values():
        kind = "keyword" if parameter.kind is parameter.KEYWORD_ONLY else "positional"
        default = None if parameter.default is parameter.empty else parameter.default
        described.append((parameter.name, kind, default))
    return described


def native_parameters(function):
    # pybind11 writes "name(a: str, b: str, method: object = 0) -> float" first in the docstring.
    signature = function.__doc__.splitlines()[0]
    inside = signature[signature.index("(") + 1 : signature.rindex(")")]
    return [re.match(r"\s*(\w+)", part).group(1) for part in inside.split(",") if part.strip() and "self" not in part]


def test_every_public_name_has_a_stub():
    _, _, names = stub("__init__.pyi")
    assert set(vantel.__all__) <= names
    assert names - {"Strings"} <= set(vantel.__all__)


@pytest.mark.parametrize("name", ["match", "extract", "extract_one", "groups", "cdist", "dedupe", "link", "link_groups"])
def test_the_stub_of_each_python_function_has_its_signature(name):
    functions, _, _ = stub("__init__.pyi")
    assert parameters(functions[name]) == runtime_parameters(getattr(vantel, name))


@pytest.mark.parametrize("module_stub", ["__init__.pyi", "_vantel.pyi"])
def test_the_stubs_of_native_functions_and_classes_have_their_names(module_stub):
    functions, classes, _ = stub(module_stub)
    for name in ("compare", "phonetic"):
        assert [p[0] for p in parameters(functions[name])] == native_parameters(getattr(native, name))
    assert classes["CompareUS"] - {"__init__"} == {
        name for name in dir(native.CompareUS) if not name.startswith("_")
    }
    for method in ("Compare", "compare", "phonetic_form"):
        node = next(n for n in ast.parse((PACKAGE / module_stub).read_text()).body if getattr(n, "name", "") == "CompareUS")
        stubbed = next(item for item in node.body if getattr(item, "name", "") == method)
        assert [p[0] for p in parameters(stubbed)][1:] == native_parameters(getattr(native.CompareUS, method))


def test_the_native_module_stub_covers_its_functions():
    functions, _, names = stub("_vantel.pyi")
    public = {name for name in dir(native) if not name.startswith("_")} | {"__version__"}
    assert public <= names
    for name in ("match", "cdist", "groups"):
        assert [p[0] for p in parameters(functions[name])] == native_parameters(getattr(native, name))


@pytest.mark.parametrize("name", ["match", "groups", "link", "link_groups"])
def test_the_stub_of_the_dask_module_has_its_signatures(name):
    pytest.importorskip("dask.dataframe")
    import vantel.dask

    functions, _, names = stub("dask.pyi")
    assert set(vantel.dask.__all__) <= names
    assert parameters(functions[name]) == runtime_parameters(getattr(vantel.dask, name))


def test_the_package_is_marked_typed():
    assert (PACKAGE / "py.typed").exists()
