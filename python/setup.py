"""Builds the idprom package with pip or setuptools, outside CMake.

The extension module is compiled from this source tree: the library
(../src), the front-end core the tool also uses (../frontend) and the
binding (src/), linked into one self-contained module.  The pybind11
headers come from the pybind11 Python package when it is installed, else
from the system's include folder (Debian's pybind11-dev); the write-protect
line of I2C parts needs libgpiod (Debian's libgpiod-dev).

The build's intermediate files go to a folder outside the source tree
($IDPROM_PYTHON_BUILD, default idprom-python-build-UID in the temporary
folder), so that building leaves the tree as it was.
"""
import glob
import os
import re
import tempfile

from setuptools import Extension, setup

HERE = os.path.dirname(os.path.abspath(__file__))
os.chdir(HERE)  # the source paths below are relative to this folder
ROOT = ".."
BUILD = os.environ.get("IDPROM_PYTHON_BUILD") or os.path.join(
    tempfile.gettempdir(), f"idprom-python-build-{os.getuid()}")
os.makedirs(BUILD, exist_ok=True)


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(idprom VERSION ([0-9.]+)", f.read()).group(1)


def pybind11_includes():
    try:
        import pybind11
    except ImportError:
        return []
    return [pybind11.get_include()]


sources = sorted(glob.glob("src/*.cpp") + glob.glob(f"{ROOT}/frontend/*/*.cpp") +
                 glob.glob(f"{ROOT}/src/*/*.cpp"))
module = Extension(
    "idprom._idprom",
    sources=sources,
    include_dirs=pybind11_includes() + [f"{ROOT}/include", f"{ROOT}/src", f"{ROOT}/frontend"],
    define_macros=[("IDPROM_STATIC_DEFINE", "1")],
    extra_compile_args=["-std=c++20", "-fvisibility=hidden"],
    # the write-protect line of i2c: parts (Debian's libgpiod-dev); verify's
    # patterns (Debian's libre2-dev)
    libraries=["gpiod", "re2"],
    language="c++",
)

setup(
    name="idprom",
    version=version(),
    description="Read, edit, list and write back IDPROM images",
    python_requires=">=3.9",
    packages=["idprom"],
    package_data={"idprom": ["py.typed", "__init__.pyi"]},
    ext_modules=[module],
    zip_safe=False,
    options={"build": {"build_base": BUILD}, "egg_info": {"egg_base": BUILD}},
)
