#!/bin/bash
# Builds everything and runs every test under Wine (Xvfb display, private prefix).
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
"$repo/tools/setup.sh" "$build"
"$repo/tools/with-wine-env.sh" "$build" ctest --test-dir "$build" --output-on-failure -j2
