#!/bin/bash
# with-wine-env.sh BUILD COMMAND...
# Runs COMMAND with an X display (Xvfb), the build's private Wine prefix and a warm
# wineserver, then stops them. Nested calls reuse the outer environment.
set -u
build=$(cd "$1" && pwd); shift
if [ -n "${ZEP_WINE_ENV_ACTIVE:-}" ]; then exec "$@"; fi

export ZEP_BUILD=$build
export WINEPREFIX=$build/wineprefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The display must exist before the first Wine process of the prefix starts.
dfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.1; done
if [ ! -s "$dfile" ]; then echo "with-wine-env: Xvfb did not start" >&2; exit 2; fi
export DISPLAY=":$(head -n1 "$dfile")"
rm -f "$dfile"

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$build/wine-env.sh"
}
trap cleanup EXIT INT TERM

"$(dirname "$0")/wine-prefix-setup.sh" "$WINEPREFIX" || { echo "with-wine-env: prefix set-up failed" >&2; exit 2; }
# A persistent server and the prefix's services started with no inherited pipes: otherwise
# they hold a test's stderr open and the test runner waits for them forever.
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1
# Wine's desktop process inherits the standard error of whichever program starts it and lives
# while any program uses the desktop: started from a test (COM start-up is enough), it holds that
# test's output pipe and CTest waits for it until the whole run ends. Start it here instead.
wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
printf 'export DISPLAY=%q\n' "$DISPLAY" > "$build/wine-env.sh"

export ZEP_WINE_ENV_ACTIVE=1
"$@"
rc=$?
exit $rc
