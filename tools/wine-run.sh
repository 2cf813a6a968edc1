#!/bin/bash
# Runs a Windows program under Wine in the build folder's private prefix.
# Used as the cross-compiling emulator by CTest; the program's exit code passes through.
set -u
exe=$1; shift

# The build folder is the nearest parent of the program that holds CMakeCache.txt.
build=${ZEP_BUILD:-}
if [ -z "$build" ]; then
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != "/" ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build=$d
fi
[ -z "${DISPLAY:-}" ] && [ -f "$build/wine-env.sh" ] && . "$build/wine-env.sh"

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
# Wine's background processes (desktop, services started on first use) inherit the standard
# handles of the program that starts them and may outlive it. Give the program a file, not the
# caller's pipe, so that a test runner reading this script's output is never held open by them.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$exe" "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
