#!/bin/sh
# The Python module as a user installs it: `pip install` of this source tree into a fresh venv in a temporary
# directory, then the tests in tests/python against the installed module, run from that directory so that
# `import floatdump` finds nothing of the source tree. Installs what it needs with apt-get when missing.
# Usage: scripts/test-python.sh BUILD_DIR   (BUILD_DIR holds the built floatdump command the tests compare with)
set -eu
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
python=${PYTHON:-python3}
need=""
command -v flex >/dev/null 2>&1 || need="$need flex"
[ -f /usr/include/pybind11/pybind11.h ] || need="$need pybind11-dev"
[ -d /usr/lib/python3/dist-packages/pytest ] || need="$need python3-pytest"
ls /usr/share/python-wheels/wheel-*.whl >/dev/null 2>&1 || need="$need python3-wheel-whl"
ls /usr/share/python-wheels/setuptools-*.whl >/dev/null 2>&1 || need="$need python3-setuptools-whl"
if [ -n "$need" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need
fi
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
"$python" -m venv "$work/venv"
venv=$work/venv/bin
# No package index is needed: setuptools comes from Debian's copy of its wheel where the venv has none (Python
# 3.12 on), wheel (which an older setuptools builds wheels with) from Debian's too, through setup.py, and pybind11's
# headers from pybind11-dev.
pip="$venv/python -m pip --disable-pip-version-check --no-cache-dir --quiet"
"$venv/python" -c 'import setuptools' 2>/dev/null || $pip install --no-index /usr/share/python-wheels/setuptools-*.whl
$pip install --no-index --no-build-isolation "$source"
# pytest is Debian's, pure Python, for the same Python 3 minor version as ours, and is not in the venv: a .pth file
# appends Debian's dist-packages to the venv's path. Appended, it comes after the venv's own packages, so it can
# shadow none of them (PYTHONPATH would come first); the venv is made without --system-site-packages, so that
# pytest's dependencies are Debian's too, not other versions of them from the Python the venv was made from.
site=$("$venv/python" -c 'import sysconfig; print(sysconfig.get_path("purelib"))')
echo /usr/lib/python3/dist-packages >"$site/debian-dist-packages.pth"
cd "$work"
PYTHONDONTWRITEBYTECODE=1 FLOATDUMP=$build/floatdump "$venv/python" -m pytest -q -p no:cacheprovider "$source/tests/python"
