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

tmp=$(mktemp -d /tmp/quenta_bench.XXXXXX)
. "$repo/tools/update-server.bash"
cleanup() {
  update_server_stop
  rm -rf "$tmp"
}
trap cleanup EXIT INT TERM

# Three information files whose rules do not hold for what the client reports: the same files
# the signature benchmark serves.
mkdir -p "$tmp/www"
update_info_body System FirmwareVersion 0.0.0.1 QXB417 0.0.0.1 http://127.0.0.1/none \
  "$(printf '%064d' 0)" 1 Benchmark. > "$tmp/fw.xml"
update_info_body Software Merrowdeck 0.0.0.1 Merrowdeck 0.0.0.1 http://127.0.0.1/none "$(printf '%064d' 0)" 1 \
  Benchmark. > "$tmp/md.xml"
update_info_body Software "Velomar Launcher" 0.0.0.1 "Velomar Launcher" 0.0.0.1 http://127.0.0.1/none \
  "$(printf '%064d' 0)" 1 Benchmark. > "$tmp/tvk.xml"

update_server_start "$tmp/www" || exit 2

export REPO=$repo BUILD=$build RUNS=$runs TMPDIR_BENCH=$tmp SERVER=$update_server_base
"$repo/tools/with-wine-env.sh" "$build" bash -c '
  set -eu
  . "$REPO/tools/update-server.bash"
  run() { "$REPO/tools/wine-run.sh" "$@"; }
  winpath() { winepath -w "$1" 2>/dev/null; }
  for s in "PA001 QXB417FW fw" "PP001 MDInfo md" "PP001 TVK tvk"; do
    set -- $s
    update_info_publish "$1" "$2" "$TMPDIR_BENCH/$3.xml" "$TMPDIR_BENCH/www"
  done
  for dll in ZepBackend_Library.dll ZepGUI_Library.dll; do wine regsvr32 /s "$(winpath "$BUILD/bin/$dll")"; done
  key="HKLM\\SOFTWARE\\Orvo Corporation\\Velomar Launcher"
  wine reg add "$key\\Auto Update Client" /v _Dbg_Info_ /d "$SERVER/" /f >/dev/null
  export DRENLOX_PLAYER_STATE=$(winpath "$TMPDIR_BENCH/player.ini")
  run "$BUILD/bin/drenloxctl.exe" plug >/dev/null
  args=" /M AUTO  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S MDInfo /N \"Merrowdeck\" /E 0.00 /F INFO /C PP001 /S TVK /N \"Velomar Launcher\" /E 1.0.0.0 /F UPDATE"
  # One warm-up of each, then alternating measured runs.
  wine "$BUILD/bin/quenta_bench_trivial.exe" </dev/null >/dev/null 2>&1
  wine "$BUILD/bin/quenta_bench_trivial_gui.exe" </dev/null >/dev/null 2>&1
  eval wine "\"$BUILD/bin/Quenta.exe\"" "$args" </dev/null >/dev/null 2>&1
  : > "$TMPDIR_BENCH/times"
  for i in $(seq "$RUNS"); do
    t0=$(date +%s%N); wine "$BUILD/bin/quenta_bench_trivial.exe" </dev/null >/dev/null 2>&1; t1=$(date +%s%N)
    wine "$BUILD/bin/quenta_bench_trivial_gui.exe" </dev/null >/dev/null 2>&1; t2=$(date +%s%N)
    eval wine "\"$BUILD/bin/Quenta.exe\"" "$args" </dev/null >/dev/null 2>&1; t3=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000000 )) $(( (t2 - t1) / 1000000 )) $(( (t3 - t2) / 1000000 ))" >> "$TMPDIR_BENCH/times"
  done
  wine reg delete "$key\\Auto Update Client" /f >/dev/null 2>&1 || true
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
for f in PA001/QXB417FW PP001/MDInfo PP001/TVK; do
  n=$(grep -c "GET /$f/info/info.xml HTTP/1.1\" 200" "$(update_server_log)" || true)
  echo "requests for $f: $n"
  [ "$n" -eq $((runs + 1)) ] || { echo "bench: $f was not asked for in every run" >&2; exit 1; }
done
