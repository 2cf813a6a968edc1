#!/bin/bash
# The companion's main job, end to end under Wine: builds, then runs each step of
# tools/demo.d in order inside one Wine session.
set -eu
export REPO=$(cd "$(dirname "$0")/.." && pwd)
export BUILD=${1:-$REPO/build}
"$REPO/tools/setup.sh" "$BUILD"
export DEMO_OUT=$BUILD/demo
mkdir -p "$DEMO_OUT"
exec "$REPO/tools/with-wine-env.sh" "$BUILD" bash -c '
  set -eu
  for step in "$REPO"/tools/demo.d/*.sh; do
    [ -e "$step" ] || continue
    echo "== $(basename "$step")"
    . "$step"
  done
  echo "demo finished; output in $DEMO_OUT"'
