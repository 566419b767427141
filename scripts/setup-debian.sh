#!/bin/sh
# Installs what building and testing floatdump needs on a Debian machine,
# and only what is missing.
set -eu
need=""
command -v flex >/dev/null 2>&1 || need="$need flex"
command -v cmake >/dev/null 2>&1 || need="$need cmake"
command -v g++ >/dev/null 2>&1 || need="$need g++"
command -v make >/dev/null 2>&1 || need="$need make"
command -v python3 >/dev/null 2>&1 || need="$need python3"
[ -f /usr/include/gtest/gtest.h ] || need="$need libgtest-dev"
# The Python module (scripts/test-python.sh): pybind11's headers, a venv with Python's own headers, setuptools and
# wheel to build it with, pytest.
[ -f /usr/include/pybind11/pybind11.h ] || need="$need pybind11-dev"
if command -v python3 >/dev/null 2>&1; then
  python3 -c 'import ensurepip' 2>/dev/null || need="$need python3-venv"
  python3 -c 'import os, sysconfig; assert os.path.exists(sysconfig.get_path("include") + "/Python.h")' 2>/dev/null ||
    need="$need python3-dev"
else
  need="$need python3-venv python3-dev"
fi
ls /usr/share/python-wheels/wheel-*.whl >/dev/null 2>&1 || need="$need python3-wheel-whl"
ls /usr/share/python-wheels/setuptools-*.whl >/dev/null 2>&1 || need="$need python3-setuptools-whl"
[ -d /usr/lib/python3/dist-packages/pytest ] || need="$need python3-pytest"
{ command -v man && command -v groff && command -v mandoc; } >/dev/null 2>&1 || need="$need man-db groff-base mandoc"
command -v valgrind >/dev/null 2>&1 || need="$need valgrind"
# pkg-config builds a program against the installed library in the install tests.
command -v pkg-config >/dev/null 2>&1 || need="$need pkg-config"
# GNU time measures the peak memory in the scaling test.
[ -x /usr/bin/time ] || need="$need time"
# The install tests check the Debian package against Debian's policy with lintian.
command -v lintian >/dev/null 2>&1 || need="$need lintian"
# The fuzz target: clang with libFuzzer, which lives in clang's run-time libraries.
if ! command -v clang++ >/dev/null 2>&1; then
  need="$need clang libclang-rt-dev"
elif [ ! -f "$(clang++ --print-runtime-dir)/libclang_rt.fuzzer-$(uname -m).a" ]; then
  need="$need libclang-rt-dev"
fi
# The other targets, each run by ctest under an emulator: 64-bit Windows (MinGW-w64, wine), the big-endian
# s390x and the 32-bit armhf (their cross compilers, qemu-user).
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need="$need g++-mingw-w64-x86-64-posix"
{ command -v wine && [ -e /usr/lib/wine/wine64 ]; } >/dev/null 2>&1 || need="$need wine wine64"
command -v s390x-linux-gnu-g++ >/dev/null 2>&1 || need="$need g++-s390x-linux-gnu"
command -v arm-linux-gnueabihf-g++ >/dev/null 2>&1 || need="$need g++-arm-linux-gnueabihf"
{ command -v qemu-s390x && command -v qemu-arm; } >/dev/null 2>&1 || need="$need qemu-user"
if [ -n "$need" ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi
