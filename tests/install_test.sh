#!/bin/sh
# floatdump as a user gets it. Usage: install_test.sh STEP BUILD_DIR SOURCE_DIR VERSION
#   manpage        doc/floatdump.1 renders with no warning from groff or mandoc
#   cmake-install  `cmake --install` into a fresh prefix installs the command, its page, license and changelog
#   deb            the package from `cpack -G DEB`, unpacked with `dpkg -x`, converts a result file and
#                  gives `man floatdump`; lintian, where installed, finds no error and no warning in it
# CMAKE and CPACK name the cmake and cpack to use. Everything is made in a temporary directory.
set -u
step=$1 build=$2 source=$3 version=$4
CMAKE=${CMAKE:-cmake} CPACK=${CPACK:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # man-db, when run as root, reads the pages as its own user.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: no '$tool' (scripts/setup-debian.sh installs it)"; exit 1; }
  done
}
# The files under directory $1, sorted, each followed by a blank.
files() { (cd "$1" && find . -type f | sort | tr '\n' ' '); }

# A small result file and its converted copy: the float field before any
# calibration line is dropped, the calibration line goes, quoted text stays.
printf '%s\r\n' 'raw = !0000803F! before calibration' >"$work/result.txt"
printf '%s\n' 'F1 !DB0F4940!' 'n = (1A} mask = (1A] offset = {E}' "'(1A} stays'" >>"$work/result.txt"
printf '%s\r\n' 'raw =  before calibration' 'n = 161 mask = 0000000A1H offset = -2' "'(1A} stays'" >"$work/expected.txt"

# The installed command $1 converts the result file, as files and as "- -", and is this version.
check_converts() {
  "$1" "$work/result.txt" "$work/converted.txt" 2>"$work/stderr" || fail "$1 exited with status $?"
  [ -s "$work/stderr" ] && fail "$1 wrote to standard error: $(cat "$work/stderr")"
  cmp "$work/converted.txt" "$work/expected.txt" || fail "$1: converted file differs"
  "$1" - - <"$work/result.txt" 2>/dev/null | cmp -s - "$work/expected.txt" || fail "$1 - -: standard output differs"
  [ "$("$1" --version)" = "floatdump $version$(printf '\r')" ] || fail "$1 --version: $("$1" --version)"
}

case $step in
manpage)
  need groff mandoc
  page=$source/doc/floatdump.1
  groff -ww -z -man -Tutf8 "$page" 2>"$work/groff.err" || fail "groff failed"
  mandoc -T lint -W all "$page" >>"$work/groff.err" 2>&1 || fail "mandoc -T lint: status $?"
  [ -s "$work/groff.err" ] && fail "the page has warnings:" && cat "$work/groff.err"
  grep -q "^\.TH FLOATDUMP 1 [0-9-]* \"floatdump $version\"" "$page" || fail "the .TH line does not name $version"
  sed -n 's/^\.SH //p' "$page" | tr -d '"' >"$work/sections"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT 'EXIT STATUS' DIAGNOSTICS EXAMPLES NOTES; do
    grep -qx "$section" "$work/sections" || fail "no section $section in the page"
  done
  ;;

cmake-install)
  need "$CMAKE" cmp
  prefix=$work/prefix
  "$CMAKE" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
  installed=$(files "$prefix")
  [ "$installed" = "./bin/floatdump ./share/doc/floatdump/changelog ./share/doc/floatdump/copyright \
./share/man/man1/floatdump.1 " ] || fail "installed files: $installed"
  [ -x "$prefix/bin/floatdump" ] && check_converts "$prefix/bin/floatdump"
  cmp -s "$prefix/share/man/man1/floatdump.1" "$source/doc/floatdump.1" || fail "not doc/floatdump.1 installed"
  ;;

deb)
  need "$CPACK" dpkg dpkg-deb man zcat
  "$CPACK" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack -G DEB failed"; exit 1; }
  set -- "$work"/package/*.deb
  [ $# = 1 ] && [ -f "$1" ] || { fail "cpack made $# packages: $*"; exit 1; }
  deb=$1 root=$work/root
  dpkg -x "$deb" "$root" || { fail "dpkg -x failed"; exit 1; }
  packaged=$(files "$root")
  [ "$packaged" = "./usr/bin/floatdump ./usr/share/doc/floatdump/changelog.gz ./usr/share/doc/floatdump/copyright \
./usr/share/man/man1/floatdump.1.gz " ] || fail "packaged files: $packaged"
  [ -x "$root/usr/bin/floatdump" ] && check_converts "$root/usr/bin/floatdump"
  zcat "$root/usr/share/man/man1/floatdump.1.gz" | cmp -s - "$source/doc/floatdump.1" ||
    fail "the packaged manual page is not doc/floatdump.1"
  # The copyright file holds LICENSE's permission text in Debian's form: each line indented, blank ones " .".
  sed -n '/^License: Expat$/,$p' "$root/usr/share/doc/floatdump/copyright" | tail -n +2 |
    sed 's/^ \.$//; t; s/^ \(.\)/\1/; t; s/^/not indented: /' >"$work/license"
  sed -n '/^Permission/,$p' "$source/LICENSE" | cmp - "$work/license" || fail "the copyright file is not LICENSE's"
  zcat "$root/usr/share/doc/floatdump/changelog.gz" | head -1 | grep -q "^floatdump ($version) " ||
    fail "no changelog entry for version $version"
  # `man floatdump` finds the page where the package puts it, and renders it without a warning.
  MANPATH='' MANPAGER=cat PAGER=cat MANWIDTH=80 MANROFFOPT=-ww MAN_DISABLE_SECCOMP=1 \
    man -M "$root/usr/share/man" floatdump >"$work/man.txt" 2>"$work/man.err" || fail "man floatdump: status $?"
  [ -s "$work/man.err" ] && fail "man floatdump warns:" && cat "$work/man.err"
  grep -q 'floatdump - convert the numeric dumps' "$work/man.txt" || fail "man floatdump shows no NAME line"
  if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error,warning "$deb" 2>"$work/lintian.err" ||
      { fail "lintian: status $? (tags above)"; grep -v 'root privileges' "$work/lintian.err"; }
  else
    echo "lintian is not installed: the package is not checked against Debian policy"
  fi
  ;;

*) echo "unknown step '$step'" && exit 2 ;;
esac

[ "$failures" -eq 0 ] || { echo "$step: $failures failure(s)"; exit 1; }
echo "$step: ok"
