#!/usr/bin/env bash
# Runs one conformance case the way the corpus runner does and compares stdout, stderr and status.
#   run-case.sh SQ CASES_DIR CASE   (CASE like "12-comparison" or "errors/03-uncaught-non-string-values")
set -u
sq="$1"
cases="$2"
name="$3"
tmp=$(mktemp -d "${TMPDIR:-/tmp}/sqcase.XXXXXX") || exit 2
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
# scripts write scratch files next to themselves: run in a private copy of the corpus
cp -R "$cases" "$tmp/cases"
chmod -R u+w "$tmp/cases"
dir="$tmp/cases/$(dirname "$name")"
(cd "$dir" && LC_ALL=C timeout 60 "$sq" "$(basename "$name").nut" >"$tmp/stdout" 2>"$tmp/stderr" </dev/null)
echo $? >"$tmp/status"
ok=0
cmp -s "$cases/$name.out" "$tmp/stdout" || { echo "stdout differs:"; diff "$cases/$name.out" "$tmp/stdout" | head -40; ok=1; }
cmp -s "$cases/$name.err" "$tmp/stderr" || { echo "stderr differs:"; diff "$cases/$name.err" "$tmp/stderr" | head -40; ok=1; }
cmp -s "$cases/$name.code" "$tmp/status" || { echo "status differs: want $(cat "$cases/$name.code") got $(cat "$tmp/status")"; ok=1; }
exit $ok
