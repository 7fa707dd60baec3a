#!/usr/bin/env bash
# Runs the corpus benchmarks three times with an `sq` and prints each script's median time.
#   bench/squirrel/median-of-3.sh build/<dir>/squirrel/sq [SHARED_DIR]
set -u
sq="$1"
shared="${2:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../shared" && pwd)}"
runs=$(for i in 1 2 3; do "$shared/squirrel-conformance/bench/run.sh" "$sq"; done)
echo "$runs" | grep -v '^ok' | grep . && exit 1
echo "$runs" | awk '{ t[$2] = t[$2] " " $3 } END { for (k in t) print k, t[k] }' | sort |
  awk '{ a = $2; b = $3; c = $4
         m = (a <= b) ? ((b <= c) ? b : ((a <= c) ? c : a)) : ((a <= c) ? a : ((b <= c) ? c : b))
         printf "%-24s %s s\n", $1, m }'
