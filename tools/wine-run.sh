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
exec wine "$exe" "$@"
