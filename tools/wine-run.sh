#!/bin/bash
# Runs a Windows program under Wine in the build folder's private prefix.
# Used as the cross-compiling emulator by CTest; the program's exit code passes through.
# wine-run.sh [--test] PROGRAM ARGS...
# --test (CTest's emulator): a test program always prints before it can fail, so a run that
# ends with an error and no output at all never reached the program (Wine failed to start the
# process); such a start is tried again, at most twice, and said so on standard error. A failing
# test run ends with a line giving the exit code and the time it took.
set -u
test_run=0
starts=1
if [ "${1:-}" = "--test" ]; then test_run=1; starts=3; shift; fi
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
for attempt in $(seq "$starts"); do
  began=$(date +%s%N)
  wine "$exe" "$@" >"$out" 2>"$err" </dev/null
  rc=$?
  if [ $rc -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq "$starts" ]; then break; fi
  echo "wine-run: $(basename "$exe") ended with exit code $rc and no output (start $attempt); starting it again" >&2
  sleep 1
done
cat "$out"
cat "$err" >&2
if [ $rc -ne 0 ] && [ $test_run -eq 1 ]; then
  echo "wine-run: $(basename "$exe") ended with exit code $rc after $((($(date +%s%N) - began) / 1000000)) ms" >&2
fi
exit $rc
