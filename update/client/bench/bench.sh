#!/bin/bash
# bench.sh [BUILD] [RUNS]
# Quenta.exe /M AUTO with the three service blocks the launcher sends (player firmware, jukebox
# notice, launcher), every one answered "no update" by a local nginx serving files published by
# zepinfo, against a trivial Windows program started the same way (wine, waited for) in the same
# run, alternating. Prints the median and range of RUNS (9) runs of each and the ratio (goal: at
# most 2). A second yardstick does only the platform set-up any windowed COM client does at its
# start (common controls, COM), which under Wine loads the graphics driver and COM. The simulated player is plugged, so the firmware service checks too. Registers the
# components in the build's prefix and removes the client's registry keys afterwards.
set -eu
repo=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
runs=${2:-9}
command -v nginx >/dev/null || { echo "bench: nginx is not installed (tools/setup.sh installs it)" >&2; exit 2; }
cmake --build "$build" --target Quenta Drenlox drenloxctl ZepBackend_Library ZepGUI_Library ZepGUI_LibraryRes \
  ZepHelper_ApplicationRes zepinfo quenta_bench_trivial quenta_bench_trivial_gui -- -j2 >/dev/null

export REPO=$repo BUILD=$build
. "$repo/tools/bench-services.bash"
bench_services_serve quenta_bench || exit 2
export RUNS=$runs TMPDIR_BENCH=$bench_services_tmp SERVER=$update_server_base
"$repo/tools/with-wine-env.sh" "$build" bash -c '
  set -eu
  . "$REPO/tools/bench-services.bash"
  bench_services_setup "$TMPDIR_BENCH" "$SERVER"
  # One warm-up of each, then alternating measured runs.
  wine "$BUILD/bin/quenta_bench_trivial.exe" </dev/null >/dev/null 2>&1
  wine "$BUILD/bin/quenta_bench_trivial_gui.exe" </dev/null >/dev/null 2>&1
  bench_services_run
  : > "$TMPDIR_BENCH/times"
  for i in $(seq "$RUNS"); do
    t0=$(date +%s%N); wine "$BUILD/bin/quenta_bench_trivial.exe" </dev/null >/dev/null 2>&1; t1=$(date +%s%N)
    wine "$BUILD/bin/quenta_bench_trivial_gui.exe" </dev/null >/dev/null 2>&1; t2=$(date +%s%N)
    bench_services_run; t3=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000000 )) $(( (t2 - t1) / 1000000 )) $(( (t3 - t2) / 1000000 ))" >> "$TMPDIR_BENCH/times"
  done
  bench_services_teardown
  python3 - "$TMPDIR_BENCH/times" <<PY
import statistics, sys
rows = [list(map(int, l.split())) for l in open(sys.argv[1]) if l.strip()]
def col(i): return [r[i] for r in rows]
triv, gui, quenta = col(0), col(1), col(2)
mt, mg, mq = statistics.median(triv), statistics.median(gui), statistics.median(quenta)
print(f"runs: {len(rows)} of each, alternating")
print(f"trivial program: median {mt:.0f} ms (range {min(triv)}-{max(triv)})")
print(f"trivial program with common controls and COM: median {mg:.0f} ms (range {min(gui)}-{max(gui)})")
print(f"Quenta /M AUTO, 3 services, no update: median {mq:.0f} ms (range {min(quenta)}-{max(quenta)})")
print(f"ratio to the trivial program: {mq / mt:.2f} (goal <= 2)")
print(f"ratio to the one with common controls and COM: {mq / mg:.2f}")
PY
'
# Every measured run (and the warm-up) must have asked for all three services.
bench_services_requests "$(update_server_log)" "" -eq $((runs + 1))
