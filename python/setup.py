"""Builds the native module vantel._vantel with CMake (see CMakeLists.txt).

The CMake build tree is build/cmake beside this file, or VANTEL_CMAKE_BUILD_DIR
when set, so that a second install rebuilds only what changed;
VANTEL_CMAKE_ARGS adds options (scripts/test-python.sh: -DVANTEL_WERROR=ON).
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent


def project_version() -> str:
    """The version in the top CMakeLists.txt's project(), the one place it is written."""
    text = (HERE.parent / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*Vantel\b[^)]*?\bVERSION\s+([0-9]+\.[0-9]+\.[0-9]+)", text)
    if found is None:
        raise RuntimeError(f"no project(Vantel VERSION X.Y.Z) in {HERE.parent / 'CMakeLists.txt'}")
    return found.group(1)


class CMakeExtension(Extension):
    def __init__(self, name: str) -> None:
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        cmake = shutil.which("cmake")
        if cmake is None:
            raise RuntimeError("building vantel needs CMake (Debian: apt-get install cmake g++ python3-dev pybind11-dev)")
        build_dir = Path(os.environ.get("VANTEL_CMAKE_BUILD_DIR") or HERE / "build" / "cmake").resolve()
        configure = [cmake, "-S", str(HERE), "-B", str(build_dir), f"-DPython_EXECUTABLE={sys.executable}"]
        if shutil.which("ninja") and not (build_dir / "CMakeCache.txt").exists():
            configure += ["-G", "Ninja"]
        configure.append(f"-DCMAKE_BUILD_TYPE={os.environ.get('VANTEL_BUILD_TYPE', 'Release')}")
        configure += shlex.split(os.environ.get("VANTEL_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = os.environ.get("VANTEL_BUILD_JOBS") or str(os.cpu_count() or 1)
        subprocess.run([cmake, "--build", str(build_dir), "--target", "_vantel", "-j", jobs], check=True)
        built = [p for p in build_dir.glob("_vantel*") if p.suffix in (".so", ".pyd")]
        if len(built) != 1:
            raise RuntimeError(f"expected one built module in {build_dir}, found {built}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=project_version(), ext_modules=[CMakeExtension("vantel._vantel")], cmdclass={"build_ext": CMakeBuild})
