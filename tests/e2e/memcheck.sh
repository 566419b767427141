#!/bin/sh
# Runs $FLOATDUMP with these arguments under valgrind's memcheck. A memory
# error or a definite or indirect leak makes the exit status 99 and puts the
# report on standard error, so a byte-exact case run through this script
# passes only if the conversion was clean.
exec "${VALGRIND:-valgrind}" --quiet --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect "$FLOATDUMP" "$@"
