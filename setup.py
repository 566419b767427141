"""Builds the Python module floatdump: the package python/floatdump and its native part, floatdump._floatdump,
compiled from the library's sources and the command's (python3 -m floatdump runs the command itself). As in the
CMake build, flex makes the scanner from src/floatdump.l, into the build directory, and the scanner alone is
compiled without our warnings. Everything built goes under build-python/.
"""
import glob
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

VERSION = re.search(r"^project\(floatdump VERSION ([0-9.]+)", Path("CMakeLists.txt").read_text(), re.M)[1]
LIBRARY = "conversion entiers file_scanner flex_adapter floatdump floatieee messages number_text text_stream"
COMMAND = f"command threaded_io platform_{'win32' if sys.platform == 'win32' else 'posix'}"
FLAGS = ["-std=c++20", "-fvisibility=hidden", "-pthread"]  # the command reads and writes on threads
# flex's skeleton trips warnings that are not ours to fix, and relies on int wrapping (CMakeLists.txt says more).
SCANNER_FLAGS = ["-fwrapv", "-Wno-unused-function", "-Wno-sign-compare", "-Wno-unused-parameter"]

try:  # pybind11 from PyPI, as pip's isolated build installs it
    import pybind11

    PYBIND11_INCLUDE = [pybind11.get_include()]
except ImportError:  # Debian's pybind11-dev: its headers are on the compiler's own path
    PYBIND11_INCLUDE = []


# setuptools before 70.1 builds wheels with the package wheel, which a venv need not have: offline, Debian's
# python3-wheel-whl is importable from its wheel file as it stands.
try:
    from wheel.bdist_wheel import bdist_wheel
except ImportError:
    sys.path += sorted(glob.glob("/usr/share/python-wheels/wheel-*.whl"))[-1:]
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:  # a setuptools that has its own
        bdist_wheel = None


class BuildWithScanner(build_ext):
    def build_extension(self, ext):
        scanner = Path(self.build_temp) / "flex_scanner.cpp"
        scanner.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["flex", "-o", str(scanner), "src/floatdump.l"], check=True)
        ext.extra_objects = self.compiler.compile([str(scanner)], macros=ext.define_macros,
                                                  include_dirs=ext.include_dirs, extra_postargs=FLAGS + SCANNER_FLAGS)
        super().build_extension(ext)


native = Extension(
    "floatdump._floatdump",
    sources=["python/floatdump_module.cpp"] + [f"src/{name}.cpp" for name in (LIBRARY + " " + COMMAND).split()],
    include_dirs=["include", "src"] + PYBIND11_INCLUDE,
    # A change to any of these rebuilds the module: setuptools looks no further than the sources.
    depends=["src/floatdump.l", "include/floatdump/floatdump.h"] + [str(header) for header in Path("src").glob("*.h")],
    # Files past 2 GiB for the command on 32-bit systems too, as the CMake build does for the platform layer.
    define_macros=[("FLOATDUMP_VERSION", f'"{VERSION}"'), ("FLOATDUMP_BUILDING", None), ("_FILE_OFFSET_BITS", "64")],
    extra_compile_args=FLAGS + ["-Wall", "-Wextra"],
    extra_link_args=["-pthread"],
    language="c++",
)

setup(version=VERSION, packages=["floatdump"], package_dir={"": "python"},
      package_data={"floatdump": ["py.typed", "*.pyi"]}, ext_modules=[native],
      cmdclass={"build_ext": BuildWithScanner, **({"bdist_wheel": bdist_wheel} if bdist_wheel else {})},
      options={"build": {"build_base": "build-python"}})
