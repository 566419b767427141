#!/bin/sh
# floatdump as a user gets it: its manual page, `cmake --install`, and the
# Debian package made by CPack and unpacked with dpkg.
#
# Usage: install_test.sh STEP BUILD_DIR SOURCE_DIR VERSION
#   manpage        doc/floatdump.1 renders with no warning from groff or mandoc
#   cmake-install  `cmake --install` into a fresh prefix puts exactly
#                  bin/floatdump and share/man/man1/floatdump.1 there
#   deb            `cpack -G DEB` makes a package whose contents, unpacked
#                  with `dpkg -x`, convert a result file and give `man floatdump`
# CMAKE and CPACK name the cmake and cpack to use (default: from PATH).
# Everything is made in a temporary directory; the build directory is not touched.
set -u
step=$1
build=$2
source=$3
version=$4
CMAKE=${CMAKE:-cmake}
CPACK=${CPACK:-cpack}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# man-db, when run as root, reads the pages as its own user.
chmod 755 "$work"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || {
      echo "FAIL: '$tool' is not installed (scripts/setup-debian.sh installs it)"
      exit 1
    }
  done
}

# A small result file and its converted copy, byte for byte. The float field
# comes before any calibration line and so is dropped; the calibration line
# goes; the quoted text stays as written; every line ends in CR LF.
printf '%s\r\n' 'raw = !0000803F! before calibration' >"$work/result.txt"
printf '%s\n' 'F1 !DB0F4940!' \
  'n = (1A} mask = (1A] offset = {E} bits = (1A)' \
  "'(1A} stays'" >>"$work/result.txt"
printf '%s\r\n' 'raw =  before calibration' \
  'n = 161 mask = 0000000A1H offset = -2 bits = 000000000000000000000000010100001H' \
  "'(1A} stays'" >"$work/expected.txt"

# Runs the command $1 on the result file, as files and as "-" "-".
check_converts() {
  bin=$1
  if ! "$bin" "$work/result.txt" "$work/converted.txt" 2>"$work/stderr"; then
    fail "$bin exited with status $? on the result file"
  fi
  [ -s "$work/stderr" ] && fail "$bin wrote to standard error: $(cat "$work/stderr")"
  if ! cmp "$work/converted.txt" "$work/expected.txt"; then
    fail "$bin: converted file differs"
    od -c "$work/converted.txt" | head -20
  fi
  "$bin" - - <"$work/result.txt" >"$work/piped.txt" 2>/dev/null || fail "$bin - - exited with status $?"
  cmp -s "$work/piped.txt" "$work/expected.txt" || fail "$bin - -: standard output differs"
  # The usage text names the project's version.
  "$bin" >/dev/null 2>"$work/usage"
  status=$?
  [ "$status" = 1 ] || fail "$bin without arguments: status $status, expected 1"
  grep -q "Numeric dump converter version $version" "$work/usage" ||
    fail "$bin without arguments: no version $version in: $(head -1 "$work/usage")"
}

# Renders the page file $1 (plain or gzipped) with groff as man does, warnings on.
check_groff_renders() {
  zcat -f "$1" | groff -ww -z -man -Tutf8 2>"$work/groff.err" || fail "groff failed on $1"
  [ -s "$work/groff.err" ] && fail "groff warns about $1:" && cat "$work/groff.err"
  return 0
}

case $step in
manpage)
  need groff mandoc
  page=$source/doc/floatdump.1
  check_groff_renders "$page"
  mandoc -T lint -W all "$page" >"$work/lint" 2>&1 || fail "mandoc -T lint: status $?"
  [ -s "$work/lint" ] && fail "mandoc -T lint warns:" && cat "$work/lint"
  # The title line names the version the project builds.
  grep -q "^\.TH FLOATDUMP 1 [0-9-]* \"floatdump $version\"" "$page" ||
    fail "the .TH line does not name floatdump $version: $(grep '^\.TH' "$page")"
  # Each section a reader looks for is there.
  sed -n 's/^\.SH //p' "$page" | tr -d '"' >"$work/sections"
  for section in NAME SYNOPSIS DESCRIPTION OUTPUT 'EXIT STATUS' DIAGNOSTICS EXAMPLES NOTES; do
    grep -qx "$section" "$work/sections" || fail "no section $section in the page"
  done
  ;;

cmake-install)
  need "$CMAKE" cmp
  prefix=$work/prefix
  "$CMAKE" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install failed"; exit 1; }
  (cd "$prefix" && find . -type f | sort) >"$work/files"
  printf '%s\n' ./bin/floatdump ./share/man/man1/floatdump.1 >"$work/files.expected"
  cmp -s "$work/files" "$work/files.expected" ||
    fail "installed files: $(tr '\n' ' ' <"$work/files"), expected bin/floatdump and share/man/man1/floatdump.1"
  [ -x "$prefix/bin/floatdump" ] && check_converts "$prefix/bin/floatdump"
  cmp -s "$prefix/share/man/man1/floatdump.1" "$source/doc/floatdump.1" ||
    fail "the installed manual page is not doc/floatdump.1"
  ;;

deb)
  need "$CPACK" dpkg dpkg-deb groff man zcat
  "$CPACK" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack -G DEB failed"; exit 1; }
  set -- "$work"/package/*.deb
  [ $# = 1 ] && [ -f "$1" ] || { fail "cpack made $# packages: $*"; exit 1; }
  deb=$1
  arch=$(dpkg --print-architecture)
  [ "$(basename "$deb")" = "floatdump_${version}_$arch.deb" ] || fail "package file name $(basename "$deb")"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = floatdump ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
  [ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture), expected $arch"
  [ "$(field Section)" = utils ] || fail "Section: $(field Section)"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ -n "$(field Description)" ] || fail "no Description"
  for lib in libc6 libstdc++6 libgcc-s1; do
    field Depends | grep -q "\\b$lib\\b" || fail "Depends does not name $lib: $(field Depends)"
  done

  root=$work/root
  dpkg -x "$deb" "$root" || { fail "dpkg -x failed"; exit 1; }
  (cd "$root" && find . -type f | sort) >"$work/files"
  printf '%s\n' ./usr/bin/floatdump ./usr/share/man/man1/floatdump.1.gz >"$work/files.expected"
  cmp -s "$work/files" "$work/files.expected" ||
    fail "packaged files: $(tr '\n' ' ' <"$work/files"), expected usr/bin/floatdump and usr/share/man/man1/floatdump.1.gz"
  [ -x "$root/usr/bin/floatdump" ] && check_converts "$root/usr/bin/floatdump"

  page=$root/usr/share/man/man1/floatdump.1.gz
  gzip -t "$page" || fail "the packaged manual page is not gzipped"
  zcat "$page" | cmp -s - "$source/doc/floatdump.1" || fail "the packaged manual page is not doc/floatdump.1"
  check_groff_renders "$page"
  # `man floatdump` finds the page where the package puts it, and renders it
  # without a warning.
  MANPATH='' MANPAGER=cat PAGER=cat MANWIDTH=80 MANROFFOPT=-ww MAN_DISABLE_SECCOMP=1 \
    man -M "$root/usr/share/man" floatdump >"$work/man.txt" 2>"$work/man.err" ||
    fail "man -M ROOT/usr/share/man floatdump: status $?"
  [ -s "$work/man.err" ] && fail "man floatdump warns:" && cat "$work/man.err"
  grep -q 'floatdump - convert the numeric dumps' "$work/man.txt" ||
    fail "man floatdump shows no NAME line: $(head -5 "$work/man.txt")"
  ;;

*)
  echo "unknown step '$step'"
  exit 2
  ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "$step: $failures failure(s)"
  exit 1
fi
echo "$step: ok"
