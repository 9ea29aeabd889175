#!/usr/bin/env bash
# Runs ctest in a build directory and prints a short account: the summary,
# one line per skipped test with its reason and, for a failed test, its
# whole output. ctest's full log stays in BUILD_DIR/test.log.
#
#   scripts/run-tests.sh BUILD_DIR [ctest arguments...]
set -uo pipefail

build_dir=$1
shift
log="$build_dir/test.log"
(cd "$build_dir" && ctest -V "$@") >"$log" 2>&1
status=$?

# ctest -V prefixes each line of test K's output with "K: ", and ends each
# test with a result line "N/M Test #K: name ... Passed|***Failed|***Skipped".
awk '
  match($0, /^[0-9]+: /) {
    k = substr($0, 1, RLENGTH - 2)
    line = substr($0, RLENGTH + 1)
    out[k] = out[k] line "\n"
    if (line ~ /: Skipped$/) { skipping[k] = 1 } else if (k in skipping && !(k in reason)) { reason[k] = line }
    next
  }
  match($0, /Test +#[0-9]+: [^ ]+/) {
    split(substr($0, RSTART, RLENGTH), part, /#|: /)
    k = part[2]; name = part[3]
    if ($0 ~ /\*\*\*Skipped/) print "skipped: " name (k in reason ? " (" reason[k] ")" : "")
    else if ($0 ~ /\*\*\*/) failed[k] = name
    next
  }
  /tests passed|Total Test time|^The following tests FAILED/ { summary = summary $0 "\n" }
  /^[ \t]+[0-9]+ - / && !/\(Skipped\)/ { summary = summary $0 "\n" }
  END {
    for (k in failed) printf "---- %s (test #%s) ----\n%s", failed[k], k, out[k]
    printf "%s", summary
  }
' "$log"
[ "$status" -eq 0 ] || echo "make test: some tests failed (full log: $log)"
exit "$status"
