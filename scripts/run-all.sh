#!/bin/sh
# Builds floatdump and runs its tests: every test normally and with
# AddressSanitizer and UndefinedBehaviorSanitizer; the unit tests with
# ThreadSanitizer (two conversions at once); the end-to-end cases and the
# scanners' equivalence with the portable code in place of the SIMD code.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DFLOATDUMP_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DFLOATDUMP_SANITIZE=ON -DFLOATDUMP_WERROR=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

cmake -S . -B build-thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLOATDUMP_SANITIZE=thread -DFLOATDUMP_WERROR=ON
cmake --build build-thread --target unit_tests -j "$jobs"
build-thread/tests/unit_tests

cmake -S . -B build-portable -DFLOATDUMP_PORTABLE=ON -DFLOATDUMP_WERROR=ON
cmake --build build-portable -j "$jobs"
ctest --test-dir build-portable --output-on-failure -j "$jobs" -R '^(e2e[.]|Scanners[.]|Alphabet[.])'
