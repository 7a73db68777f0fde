import os
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


def _find_cli():
    given = os.environ.get("VANTEL_CLI")
    if given:
        return given
    for candidate in (ROOT / "build" / "release" / "cli" / "vantel", ROOT / "build" / "cli" / "vantel"):
        if candidate.exists():
            return str(candidate)
    return shutil.which("vantel")


@pytest.fixture(scope="session")
def cli():
    """Runs the vantel command: cli(args..., input=text) -> stdout."""
    path = _find_cli()
    if path is None:
        message = "the vantel command is not built (set VANTEL_CLI)"
        if os.environ.get("CI"):
            pytest.fail(message)
        pytest.skip(message)

    def run(*args, input=None, check=True):
        done = subprocess.run([path, *args], input=input, capture_output=True, text=True, encoding="utf-8")
        if check and done.returncode != 0:
            raise AssertionError(f"vantel {' '.join(args)} exited {done.returncode}: {done.stderr}")
        return done.stdout

    return run


@pytest.fixture(scope="session")
def root():
    return ROOT
