#!/bin/bash
# startup.sh BUILD [RUNS]: the launcher's start, from CreateProcess to its window shown, against
# a trivial dialog program started the same way in the same run (goal: at most twice as long).
# The launcher runs over the demo installation with the update check due at every start, so
# the settings store, the skin bitmaps and the check are all part of what is measured.
set -eu
build=$(cd "${1:?usage: startup.sh BUILD [RUNS]}" && pwd)
runs=${2:-9}
repo=$(cd "$(dirname "$0")/../.." && pwd)
cmake --build "$build" --target Tolvik tolvik_arg_recorder tolvik_bench_dialog tolvik_startup_bench -- -j2 >/dev/null
export REPO=$repo BUILD=$build RUNS=$runs
exec "$repo/tools/with-wine-env.sh" "$build" bash -c '
  set -eu
  . "$REPO/tools/demo.d/tolvik-install.bash"
  tolvik_demo_install "$TOLVIK_DEMO_TOOLS_WIN" recorder.exe "/drive %s"
  mkdir -p "$tolvik_demo_dir/UpdateChecker"
  cp -f "$BUILD/bin/tolvik_arg_recorder.exe" "$tolvik_demo_dir/UpdateChecker/Quenta.exe"
  cp -f "$BUILD/bin/tolvik_bench_dialog.exe" "$tolvik_demo_dir/BenchDialog.exe"
  tolvik_demo_reg_import <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvo Corporation\\Velomar Launcher\\TOLVIK\\Update]
"UpdateStart"=hex:01
"UpdateFrequency"=dword:00000000
REG
  "$REPO/tools/wine-run.sh" "$BUILD/bin/tolvik_startup_bench.exe" "$RUNS" \
    "$TOLVIK_DEMO_EXE_WIN" "$TOLVIK_DEMO_DIR_WIN\\BenchDialog.exe" F:
  n=$(grep -c . "$tolvik_demo_dir/UpdateChecker/Quenta.exe.txt" 2>/dev/null || echo 0)
  echo "update client stand-in started (last start recorded): $([ "$n" -gt 0 ] && echo yes || echo no)"
  rm -rf "$tolvik_demo_dir/UpdateChecker" "$tolvik_demo_dir/BenchDialog.exe"'
