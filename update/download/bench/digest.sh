#!/bin/bash
# digest.sh [BUILD] [SIZE_MIB] [RUNS]
# Time of the download manager's CheckDownloadedFile (SHA-1 through the system's cryptographic
# service, as the component does it) on a SIZE_MIB (256) file, against sha1sum on the very same
# file in the same run. The file is random, served by a local HTTP server and downloaded
# through the component first, since the component checks only what it downloaded. The runs of
# the two alternate. Prints each run, the median and range of RUNS (5) runs of each and, last, the ratio of throughputs
# (above 1: the component is faster):
#   CheckDownloadedFile/sha1sum: R.RRx
set -eu
repo=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
size_mib=${2:-256}
runs=${3:-5}
exe=$build/bin/zep_dlbench.exe
[ -f "$exe" ] || cmake --build "$build" --target zep_dlbench

tmp=$(mktemp -d /tmp/zep_digest.XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT INT TERM

mkdir -p "$tmp/www" "$tmp/root"
head -c $((size_mib * 1048576)) /dev/urandom > "$tmp/www/big.bin"
mac=$(sha1sum "$tmp/www/big.bin" | cut -d' ' -f1)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$tmp/www" >/dev/null 2>&1 &
server_pid=$!
url=http://127.0.0.1:$port/big.bin
for _ in $(seq 50); do curl -s -o /dev/null -r 0-0 "$url" && break; sleep 0.1; done

winpath() { echo "Z:$1" | tr / '\\'; }
file=  # found once the component has downloaded it
# One sha1sum run, timed from here: "sha1sum ms=<elapsed> result=<0|1>".
sha1sum_run() {
  python3 - "$file" "$mac" <<'PY'
import subprocess, sys, time
start = time.monotonic()
out = subprocess.run(["sha1sum", sys.argv[1]], stdout=subprocess.PIPE, text=True, check=True).stdout
ms = (time.monotonic() - start) * 1000
print(f"sha1sum ms={ms:.1f} result={1 if out.split()[0] == sys.argv[2] else 0}")
PY
}
# The component's runs and sha1sum's alternate, so that a change in the machine's load falls on
# both alike.
: > "$tmp/component.txt"
: > "$tmp/sha1sum.txt"
mkdir -p "$tmp/sync"
wait_for() {
  for _ in $(seq 2400); do [ -f "$1" ] && return 0; kill -0 "$component_pid" 2>/dev/null || break; sleep 0.05; done
  [ -f "$1" ]
}
"$repo/tools/with-wine-env.sh" "$build" "$repo/tools/wine-run.sh" "$exe" digest "$url" "$(winpath "$tmp/root")" \
  "$mac" "$runs" "$(winpath "$tmp/sync")" > "$tmp/exe.txt" 2>&1 &
component_pid=$!
wait_for "$tmp/sync/ready" && grep -q '^ready' "$tmp/sync/ready" || {
  cat "$tmp/sync/ready" "$tmp/exe.txt" >&2 2>/dev/null; echo "digest: the component's download failed" >&2; exit 1; }
# The component writes into a private folder of its own below the service's folder.
file=$(find "$tmp/root" -name big.bin -type f | head -n 1)
[ -n "$file" ] && cmp -s "$tmp/www/big.bin" "$file" || { echo "digest: the downloaded file differs from the served one" >&2; exit 1; }
for i in $(seq 0 $((runs - 1))); do
  touch "$tmp/sync/go$i"
  wait_for "$tmp/sync/done$i" || { echo "digest: the component's run $i did not end" >&2; exit 1; }
  cat "$tmp/sync/done$i" >> "$tmp/component.txt"
  sha1sum_run >> "$tmp/sha1sum.txt"
done
wait "$component_pid" || { echo "digest: the component run failed" >&2; cat "$tmp/component.txt" >&2; exit 1; }

python3 - "$tmp/component.txt" "$tmp/sha1sum.txt" "$size_mib" <<'PY'
import statistics, sys
size = int(sys.argv[3])
def read(path):
    times = []
    for line in open(path):
        words = dict(w.split("=", 1) for w in line.split()[1:] if "=" in w)
        if "ms" not in words:
            continue
        if words.get("result") != "1":
            sys.exit(f"digest: a run did not match the digest: {line.strip()}")
        times.append(float(words["ms"]))
    return times
component, sha1sum = read(sys.argv[1]), read(sys.argv[2])
for name, times in (("CheckDownloadedFile", component), ("sha1sum", sha1sum)):
    med = statistics.median(times)
    print(f"{name:<20} runs(ms): {' '.join(f'{t:.0f}' for t in times)}")
    print(f"{name:<20} median {med:.0f} ms ({size / (med / 1000):.0f} MiB/s), range {min(times):.0f}-{max(times):.0f} ms")
print(f"CheckDownloadedFile/sha1sum: {statistics.median(sha1sum) / statistics.median(component):.2f}x")
PY
