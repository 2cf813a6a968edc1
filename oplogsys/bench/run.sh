#!/bin/bash
# run.sh BUILD: prints the log library's costs next to their baselines, measured under Wine.
#   traced call without configuration vs an empty call; lines/s into a log file vs WriteFile.
set -eu
build=$(cd "${1:?usage: run.sh BUILD}" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
exe=$build/bin/oplogsys_bench.exe
[ -f "$exe" ] || cmake --build "$build" --target oplogsys_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$repo/tools/with-wine-env.sh" "$build" "$repo/tools/wine-run.sh" "$exe" "Z:${work//\//\\}"
