#!/bin/sh
# Builds floatdump and runs every test: normally, with AddressSanitizer and
# UndefinedBehaviorSanitizer, with ThreadSanitizer the tests of what runs on
# threads (two conversions at once, the command's reader and writer threads
# in process and in the command), with the portable code in place of the
# SSE2 paths, for 64-bit Windows under wine, and for the big-endian s390x
# and the 32-bit armhf under qemu-user. The shared library is installed and
# built against. The Windows zip is made and its contents checked, and its
# floatdump.exe must convert the example to the bytes the Linux build writes.
# The Python module is installed in a fresh venv and tested.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -n 's/^project(floatdump VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

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
build build-thread "-R ^(Conversion|ThreadedIo|EveryCase|ScannerFailure|e2e)[.]|^cli[.]pipe" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
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
sh tests/install_test.sh library build-shared . "$version"

# The zip, made afresh: one left by an earlier build or version is no proof.
name=floatdump-$version-win64
rm -f build-windows/floatdump-*-win64.zip
(cd build-windows && cpack)
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$OLDPWD/build-windows/$name.zip")
folder=$work/$name exe=$work/$name/floatdump.exe
fail() { echo "run-all: build-windows/$name.zip: $*" >&2; exit 1; }
contents=$(cd "$folder" && find . -type f | sort | tr '\n' ' ')
[ "$contents" = "./LICENSE.txt ./README-windows.txt ./changelog.txt ./examples/result.txt ./floatdump.exe \
./floatdump.html " ] || fail "holds $contents"
for text in LICENSE.txt README-windows.txt changelog.txt; do
  ! grep -qv "$(printf '\r')\$" "$folder/$text" || fail "$text has a line not ending in CR LF"
done
grep -q '<title>FLOATDUMP(1)</title>' "$folder/floatdump.html" || fail "floatdump.html is not the manual"
# The version and the manifest as resources (types 16 and 24), and what they say: UTF-16 strings read with
# their zero bytes dropped.
resources=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n '/^The .rsrc Resource Directory/,$p')
for type in 0x000010 0x000018; do
  echo "$resources" | grep -q "Entry: ID: $type" || fail "no resource of type $type in floatdump.exe"
done
x86_64-w64-mingw32-objcopy -O binary -j .rsrc "$exe" "$work/resources"
for text in "FileVersion$version" "ProductVersion$version" "LegalCopyright$(grep -m1 '^Copyright' LICENSE)" \
  '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true' \
  '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'; do
  tr -d '\000' <"$work/resources" | grep -qF "$text" || fail "floatdump.exe's resources lack $text"
done
build/floatdump examples/result.txt "$work/linux.txt"
# wine's server is started apart, its output discarded: it would hold a CI runner's pipes open.
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
wineserver -p30 >/dev/null 2>&1 </dev/null || true
manual=$(wine "$exe" --help </dev/null | sed -n 's/^Full documentation: \([^,]*\),.*/\1/p')
[ -n "$manual" ] && [ -f "$folder/$manual" ] || fail "--help names '$manual' as the manual"
wine "$exe" "$folder/examples/result.txt" "$work/windows.txt" </dev/null
cmp "$work/linux.txt" "$work/windows.txt"
echo "run-all: build-windows/$name.zip holds what a Windows user needs, and converts examples/result.txt to the" \
  "Linux build's bytes"

# The Python module, installed from this tree in a fresh venv, its tests comparing it with the normal build's command.
if command -v python3 >/dev/null 2>&1; then
  scripts/test-python.sh build
  echo "run-all: the Python module installed and tested"
else
  echo "run-all: no python3: the Python module is left untested"
fi
