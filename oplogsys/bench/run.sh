#!/bin/bash
# run.sh BUILD [RUNS]: prints the log library's costs next to their baselines, measured under Wine.
#   traced call without configuration vs an empty call; lines/s into a log file vs WriteFile.
# Each run measures its baselines itself; the last lines give the median and range of the ratios.
set -eu
build=$(cd "${1:?usage: run.sh BUILD [RUNS]}" && pwd)
runs=${2:-5}
repo=$(cd "$(dirname "$0")/../.." && pwd)
exe=$build/bin/oplogsys_bench.exe
[ -f "$exe" ] || cmake --build "$build" --target oplogsys_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in $(seq "$runs"); do
  echo "== run $run of $runs"
  "$repo/tools/with-wine-env.sh" "$build" "$repo/tools/wine-run.sh" "$exe" "Z:${work//\//\\}" | tee -a "$work/all.txt"
done
summary() {  # summary LABEL LINE-START: median and range of the first figure after the colon
  grep -F "$2" "$work/all.txt" | sed 's/^[^:]*:[[:space:]]*\([0-9.]*\).*/\1/' | sort -g |
    awk -v label="$1" '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2;
                         f = (v[NR] >= 1000) ? "%.0f" : "%.2f";
                         printf "%-44s median " f ", range " f " .. " f " over %d runs\n", label, m, v[1], v[NR], NR}'
}
echo "== summary"
summary "traced call, no configuration (ns):" "traced call, no configuration"
summary "file output (lines/s):" "file output, tracing on"
summary "WriteFile baseline (lines/s):" "WriteFile of the same lines"
summary "file output / WriteFile (goal >= 0.80):" "file output / WriteFile    "
