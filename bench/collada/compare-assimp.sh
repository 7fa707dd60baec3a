#!/usr/bin/env bash
# Times mascot-inspect (our whole import, as a process) beside `assimp info` raw (-r) and default
# on a tiny document (process start-up), the three largest corpus documents and the generated
# character. Prints, per file and tool, the median over RUNS of CPU time (user + sys) and of wall
# time in milliseconds, and with `perf` installed the mean task-clock over RUNS as well.
#   bench/collada/compare-assimp.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?build directory}
runs=${2:-7}
here=$(cd "$(dirname "$0")" && pwd)
corpus=${MZ_COLLADA_CORPUS:-$here/../../../shared/collada-corpus}
inspect=$build/tools/mascot-inspect/mascot-inspect
generated=$(mktemp --suffix=.dae)
timing=$(mktemp)
trap 'rm -f "$generated" "$timing"' EXIT
"$build/bench/collada/mz_collada_bench" --write-generated "$generated"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# time_runs CMD...: "cpu_ms wall_ms" medians
time_runs() {
    local cpu=() wall=()
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -o "$timing" -f "%e %U %S" "$@" >/dev/null 2>&1 || true
        read -r e u s <"$timing"
        cpu+=("$(awk -v u="$u" -v s="$s" 'BEGIN {printf "%d", (u + s) * 1000}')")
        wall+=("$(awk -v e="$e" 'BEGIN {printf "%d", e * 1000}')")
    done
    echo "$(printf '%s\n' "${cpu[@]}" | median) $(printf '%s\n' "${wall[@]}" | median)"
}

# perf_ms CMD...: mean task-clock in ms, or "-" without perf
perf_ms() {
    command -v perf >/dev/null || { echo -; return; }
    perf stat -r "$runs" -e task-clock "$@" 2>&1 >/dev/null | awk '/task-clock/ {print $1; exit}'
}

row() {
    local name=$1 tool=$2
    shift 2
    printf '%-28s %-22s %8s %8s %10s\n' "$name" "$tool" $(time_runs "$@") "$(perf_ms "$@")"
}

printf '%-28s %-22s %8s %8s %10s\n' file tool cpu_ms wall_ms task_ms
for f in "$corpus/cube_empty_tags/cube_emptyTags.dae" "$corpus/voyager_large/voyager.dae" "$corpus/astroboy_walk/astroBoy_walk.dae" \
         "$corpus/cesium_man/CesiumMan.dae" "$generated"; do
    name=$(basename "$f")
    [[ $f == "$generated" ]] && name=generated-100k
    row "$name" "ours: model" "$inspect" "$f"
    row "$name" "ours: model + motion" "$inspect" "$f" "$f"
    row "$name" "assimp info -r" assimp info "$f" -r
    row "$name" "assimp info" assimp info "$f"
done
