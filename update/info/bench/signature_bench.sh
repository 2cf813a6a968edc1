#!/bin/bash
# signature_bench.sh [BUILD] [RUNS]
# What signed update information costs a whole check: Quenta.exe /M AUTO with the three service
# blocks the launcher sends, every information file signed and answered "no update" by a local
# nginx, timed RUNS (9) times; and in one process (info_signature_bench) the information
# manager's check of the same three services against the part of it the signature adds
# (fetching info.xml.sig with the same downloader and checking it). Prints median and range of
# each and the signature's share (goal: under 5 % of the check).
set -eu
repo=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
runs=${2:-9}
command -v nginx >/dev/null || { echo "bench: nginx is not installed (tools/setup.sh installs it)" >&2; exit 2; }
cmake --build "$build" --target Quenta Drenlox drenloxctl ZepBackend_Library ZepGUI_Library ZepGUI_LibraryRes \
  ZepHelper_ApplicationRes zepinfo info_signature_bench -- -j2 >/dev/null

export REPO=$repo BUILD=$build
. "$repo/tools/bench-services.bash"
bench_services_serve signature_bench || exit 2
export RUNS=$runs TMPDIR_BENCH=$bench_services_tmp SERVER=$update_server_base
"$repo/tools/with-wine-env.sh" "$build" bash -c '
  set -eu
  . "$REPO/tools/bench-services.bash"
  run() { "$REPO/tools/wine-run.sh" "$@"; }
  winpath() { winepath -w "$1" 2>/dev/null; }
  bench_services_setup "$TMPDIR_BENCH" "$SERVER"
  bench_services_run
  : > "$TMPDIR_BENCH/quenta"
  for i in $(seq "$RUNS"); do
    t0=$(date +%s%N); bench_services_run; t1=$(date +%s%N)
    echo $(( (t1 - t0) / 1000000 )) >> "$TMPDIR_BENCH/quenta"
  done
  mkdir -p "$TMPDIR_BENCH/data"
  run "$BUILD/bin/info_signature_bench.exe" "$SERVER/" "$RUNS" "$(winpath "$TMPDIR_BENCH/data")" \
    PA001/QXB417FW/QXB417/0.0.0.1 PP001/MDInfo/Merrowdeck/0.0.0.1 "PP001/TVK/Velomar Launcher/1.0.0.0" \
    | tr -d "\r" > "$TMPDIR_BENCH/inprocess"
  bench_services_teardown
  python3 - "$TMPDIR_BENCH/quenta" "$TMPDIR_BENCH/inprocess" <<PY
import statistics, sys
quenta = [float(l) for l in open(sys.argv[1]) if l.strip()]
rows = [l.split() for l in open(sys.argv[2]) if l.startswith("run ")]
check = [float(r[1]) for r in rows]
sig = [float(r[2]) for r in rows]
verify = [float(r[3]) for r in rows]
mq, mc, ms, mv = statistics.median(quenta), statistics.median(check), statistics.median(sig), statistics.median(verify)
print(f"runs: {len(quenta)} of Quenta, {len(rows)} in-process")
print(f"Quenta /M AUTO, 3 signed services, no update: median {mq:.0f} ms (range {min(quenta):.0f}-{max(quenta):.0f})")
print(f"information check of the 3 services in one process: median {mc:.1f} ms (range {min(check):.1f}-{max(check):.1f})")
print(f"of which the signature (fetch info.xml.sig, check): median {ms:.1f} ms (range {min(sig):.1f}-{max(sig):.1f})")
print(f"  of which the check of the fetched signature (parse, hashes, ECDSA verify): median {mv:.1f} ms (range {min(verify):.1f}-{max(verify):.1f})")
print(f"signature share of the whole Quenta check: {100 * ms / mq:.2f} % (goal < 5 %); its check alone {100 * mv / mq:.2f} %")
print(f"signature share of the in-process information check: {100 * ms / mc:.1f} %")
PY
'
# Every run must have fetched the signatures too.
bench_services_requests "$(update_server_log)" .sig -ge $((runs + 1))
