#!/bin/sh
# floatdump as a user gets it. Usage: install_test.sh STEP BUILD_DIR SOURCE_DIR VERSION
#   cmake-install  `cmake --install` into a fresh prefix, and
#   deb            the package from `cpack -G DEB` unpacked with `dpkg -x` (lintian, where installed, finds no error
#                  and no warning in it), give exactly the command, its page, license and changelog (gzipped in the
#                  package); the command converts a result file, and `man floatdump` shows the page, which renders
#                  with no warning from groff or mandoc. The install also holds the library;
#   library        a program of a user's own (tests/consumer) built against the installed library, once with CMake's
#                  find_package and once with pkg-config, converts a result file as the command does; a shared
#                  library exports nothing but the API.
# CMAKE and CPACK name the cmake and cpack to use. Everything is made in a temporary directory.
set -u
step=$1 build=$2 source=$3 version=$4 CMAKE=${CMAKE:-cmake} CPACK=${CPACK:-cpack} failures=0
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && root=$work/root
chmod 755 "$work" # man-db, when run as root, reads the pages as its own user.
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
stop() { echo "FAIL: $*"; exit 1; }
empty() { [ -s "$1" ] && fail "$2:" && cat "$1"; }  # fails unless file $1 is empty, and shows it
need() { for tool; do command -v "$tool" >/dev/null || stop "no '$tool' (scripts/setup-debian.sh installs it)"; done; }

# The tree under $root: the files and what they hold, the command, the page through `man`.
check_installed() {
  files=$(cd "$root" && find . -type f ! -path "./$library/*" ! -path ./include/floatdump/floatdump.h | sort | tr '\n' ' ')
  [ "$files" = ".$usr/bin/floatdump .$usr/share/doc/floatdump/changelog$gz .$usr/share/doc/floatdump/copyright \
.$usr/share/man/man1/floatdump.1$gz " ] || fail "installed files: $files"
  bin=$root$usr/bin/floatdump doc=$root$usr/share/doc/floatdump man=$root$usr/share/man
  result=$source/tests/e2e/cases/float-fields-little-endian
  page=$source/doc/floatdump.1
  $show "$man/man1/floatdump.1$gz" | cmp -s - "$page" || fail "the page is not doc/floatdump.1"
  groff -ww -z -man -Tutf8 "$page" 2>"$work/warnings" || fail "groff failed"
  mandoc -T lint -W all "$page" >>"$work/warnings" 2>&1 || fail "mandoc -T lint: status $?"
  empty "$work/warnings" "the page has warnings"
  grep -q "^\.TH FLOATDUMP 1 [0-9-]* \"floatdump $version\"" "$page" || fail "the .TH line does not name $version"
  # The installed command converts a result file: the streams and messages are command_test.py's.
  "$bin" "$result.in" "$work/converted.txt" 2>"$work/stderr" || fail "$bin exited with status $?"
  empty "$work/stderr" "$bin wrote to standard error"
  cmp "$work/converted.txt" "$result.expected" || fail "$bin: converted file differs"
  [ "$("$bin" --version)" = "floatdump $version$(printf '\r')" ] || fail "$bin --version: $("$bin" --version)"
  # The copyright file holds LICENSE's permission text in Debian's form: each line indented, blank ones " .".
  sed -n '/^License: Expat$/,$p' "$doc/copyright" | tail -n +2 |
    sed 's/^ \.$//; t; s/^ \(.\)/\1/; t; s/^/not indented: /' >"$work/license"
  sed -n '/^Permission/,$p' "$source/LICENSE" | cmp - "$work/license" || fail "the copyright file is not LICENSE's"
  $show "$doc/changelog$gz" | head -1 | grep -q "^floatdump ($version) " || fail "no changelog entry for $version"
  # `man floatdump` finds the page where it is installed, and renders it without a warning.
  MANPATH='' MANPAGER=cat PAGER=cat MANWIDTH=80 MANROFFOPT=-ww MAN_DISABLE_SECCOMP=1 \
    man -M "$man" floatdump >"$work/man.txt" 2>"$work/man.err" || fail "man floatdump: status $?"
  empty "$work/man.err" "man floatdump warns"
  grep -q 'floatdump - convert the numeric dumps' "$work/man.txt" || fail "man floatdump shows no NAME line"
}

# A consumer program $1 converts a result file with its diagnostics as the command does.
check_consumer() {
  LD_LIBRARY_PATH=$root/lib "$1" "$result.in" "$work/converted.txt" 2>"$work/stderr" || fail "$1: status $?"
  cmp "$work/converted.txt" "$result.expected" || fail "$1: converted file differs"
  cmp "$work/stderr" "$result.stderr" || fail "$1: diagnostics differ"
}

case $step in
cmake-install)
  need "$CMAKE" cmp man groff mandoc
  usr='' gz='' show=cat library=lib
  "$CMAKE" --install "$build" --prefix "$root" >"$work/log" 2>&1 || { cat "$work/log"; stop "cmake --install"; }
  check_installed ;;
deb)
  need "$CPACK" cmp dpkg dpkg-deb man groff mandoc zcat
  usr=/usr gz=.gz show=zcat library=none
  "$CPACK" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/log" 2>&1 ||
    { cat "$work/log"; stop "cpack -G DEB failed"; }
  set -- "$work"/package/*.deb
  [ $# = 1 ] && [ -f "$1" ] || stop "cpack made $# packages: $*"
  dpkg -x "$1" "$root" || stop "dpkg -x failed"
  if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error,warning "$1" 2>"$work/lintian.err" ||
      { fail "lintian: status $? (tags above)"; grep -v 'root privileges' "$work/lintian.err"; }
  else echo "lintian is not installed: the package is not checked against Debian policy"; fi
  check_installed ;;
library)
  need "$CMAKE" cmp pkg-config "${CXX:-c++}" nm
  "$CMAKE" --install "$build" --prefix "$root" >"$work/log" 2>&1 || { cat "$work/log"; stop "cmake --install"; }
  result=$source/tests/e2e/cases/calibration-conflict
  "$CMAKE" -S "$source/tests/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$root" >"$work/log" 2>&1 &&
    "$CMAKE" --build "$work/cmake" >>"$work/log" 2>&1 || { cat "$work/log"; stop "the consumer does not build with CMake"; }
  check_consumer "$work/cmake/convert_result"
  flags=$(PKG_CONFIG_PATH=$root/lib/pkgconfig pkg-config --cflags --libs floatdump) || stop "pkg-config finds no floatdump"
  # shellcheck disable=SC2086 # the flags are words
  "${CXX:-c++}" -std=c++20 -o "$work/convert_result" "$source/tests/consumer/convert_result.cpp" $flags ||
    stop "the consumer does not build with pkg-config"
  check_consumer "$work/convert_result"
  if [ -f "$root/lib/libfloatdump.so" ]; then
    nm -D --defined-only -C "$root/lib/libfloatdump.so" | cut -d' ' -f3- | grep -v 'floatdump::' >"$work/exports"
    empty "$work/exports" "exported besides the API"
    objdump -p "$root/lib/libfloatdump.so" | grep -q "SONAME *libfloatdump.so.${version%%.*}$" || fail "no soname"
  fi ;;
*) echo "unknown step '$step'" && exit 2 ;;
esac

[ "$failures" -eq 0 ] || stop "$step: $failures failure(s)"
echo "$step: ok"
