#!/bin/bash
# faultrun.sh [BUILD] [DOWNLOADS] [SIZE] [SEED]
# Fault run of the HTTP downloader: DOWNLOADS (100) downloads of SIZE bytes (32 MiB) from the
# in-process loopback server, each cut at one to three random offsets (half of the cuts are
# connection resets) and resumed 64 KiB before the end of the partial file until complete.
# Prints how many files ended byte-identical and how many bytes were fetched again.
set -eu
repo=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$repo/build}
downloads=${2:-100}
size=${3:-33554432}
seed=${4:-20240501}
build=$(cd "$build" && pwd)
exe=$build/bin/zep_faultrun.exe
[ -f "$exe" ] || cmake --build "$build" --target zep_faultrun
"$repo/tools/with-wine-env.sh" "$build" "$repo/tools/wine-run.sh" "$exe" "$downloads" "$size" "$seed"
