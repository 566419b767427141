#!/bin/sh
# Builds floatdump and runs every test: normally, with AddressSanitizer and
# UndefinedBehaviorSanitizer, with ThreadSanitizer the tests of what runs on
# threads (two conversions at once, the command's reader and writer threads
# in process and in the command), with the portable code in place of the
# SSE2 paths, for 64-bit Windows under wine, and for the big-endian s390x
# and the 32-bit armhf under qemu-user. The shared library is installed and
# built against. The Windows zip is made, and its floatdump.exe must convert
# the example to the bytes the Linux build writes. The Python module is installed in a fresh venv and tested.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
jobs=$(nproc 2>/dev/null || echo 2)

# build DIRECTORY CTEST_OPTIONS CMAKE_OPTIONS...: configure, build and test one build.
build() {
  dir=$1 tests=$2 start=$(date +%s)
  shift 2
  cmake -S . -B "$dir" -DFLOATDUMP_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" $tests
  echo "run-all: $dir built and tested in $(($(date +%s) - start)) s"
}

build build ""
build build-sanitize "" -DCMAKE_BUILD_TYPE=Debug -DFLOATDUMP_SANITIZE=ON
build build-thread "-R ^(Conversion|ThreadedIo|Scanners|e2e|piped)[.]|^cli[.]pipe" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFLOATDUMP_SANITIZE=thread
# The portable build differs only in the file scanner: the byte-exact cases suffice, not under valgrind again.
build build-portable "-LE memcheck|install" -DFLOATDUMP_PORTABLE=ON
build build-s390x "" -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
build build-armhf "" -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
build build-windows "" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

# The library as a shared object (the normal build's install.library test has the static one): installed, built
# against by a program of a user's own with CMake and with pkg-config, exporting nothing but its API.
cmake -S . -B build-shared -DFLOATDUMP_WERROR=ON -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF
cmake --build build-shared -j "$jobs"
sh tests/install_test.sh library build-shared . "$(sed -n 's/^project(floatdump VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"

(cd build-windows && cpack)
zip=$(ls build-windows/floatdump-*-win64.zip)
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$OLDPWD/$zip")
build/floatdump examples/result.txt "$work/linux.txt"
# wine's server is started apart, its output discarded: it would hold a CI runner's pipes open.
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
wineserver -p30 >/dev/null 2>&1 </dev/null || true
wine "$work"/floatdump-*-win64/floatdump.exe examples/result.txt "$work/windows.txt" </dev/null
cmp "$work/linux.txt" "$work/windows.txt"
echo "run-all: $zip converts examples/result.txt to the Linux build's bytes"

# The Python module, installed from this tree in a fresh venv, its tests comparing it with the normal build's command.
if command -v python3 >/dev/null 2>&1; then
  tests/python/run.sh build
  echo "run-all: the Python module installed and tested"
else
  echo "run-all: no python3: the Python module is left untested"
fi
