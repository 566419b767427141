#!/bin/sh
# Builds floatdump twice, normally and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test in both.
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
