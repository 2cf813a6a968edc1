#!/bin/bash
# bench.sh [BUILD] [SIZE_MIB] [RUNS]
# Throughput of CXHttpDownloader and of a download through the software download manager
# component (its worker thread, status notifications and events; its fixed one-second pause
# before the transfer is left out) against a local nginx, in the same run as a bare WinINet read
# loop (same request flags, same 16 KiB reads, same file writes) and as curl. Starts its own
# nginx on a free loopback port with a configuration in a temporary folder, and stops it.
# Prints the median of RUNS (5) runs of each, the ratios, and the CPU time of each client
# (the client process tree plus the prefix's wineserver). Throughput counts the transfer only
# (request to last byte written); process start-up is left out for every client.
set -eu
repo=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
size_mib=${2:-256}
runs=${3:-5}
exe=$build/bin/zep_dlbench.exe
[ -f "$exe" ] || cmake --build "$build" --target zep_dlbench
command -v nginx >/dev/null || { echo "bench: nginx is not installed (tools/setup.sh installs it)" >&2; exit 2; }
command -v curl >/dev/null || { echo "bench: curl is not installed" >&2; exit 2; }

tmp=$(mktemp -d /tmp/zep_dlbench.XXXXXX)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT INT TERM

mkdir -p "$tmp/www" "$tmp/out" "$tmp/nginx"
head -c $((size_mib * 1048576)) /dev/urandom > "$tmp/www/big.bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$tmp/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $tmp/nginx/nginx.pid;
error_log $tmp/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $tmp/nginx/body;
  proxy_temp_path $tmp/nginx/proxy;
  fastcgi_temp_path $tmp/nginx/fastcgi;
  uwsgi_temp_path $tmp/nginx/uwsgi;
  scgi_temp_path $tmp/nginx/scgi;
  types { application/octet-stream bin; }
  server { listen 127.0.0.1:$port; root $tmp/www; }
}
EOF
nginx -p "$tmp/nginx" -c "$tmp/nginx.conf" -e "$tmp/nginx/error.log" &
nginx_pid=$!
url=http://127.0.0.1:$port/big.bin
for _ in $(seq 50); do curl -s -o /dev/null -r 0-0 "$url" && break; sleep 0.1; done

# Runs one client and prints "transfer_s cpu_s exit": the transfer time the client reports
# ("ms=" from zep_dlbench, time_total from curl), and the CPU of the waited-for process tree
# plus what the prefix's wineserver spent meanwhile (Wine does part of the I/O work there).
cat > "$tmp/measure.py" <<'EOF'
import os, resource, subprocess, sys, time
prefix = os.environ.get("WINEPREFIX", "")
def wineserver_ticks():
    total = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm") as f:
                if f.read().strip() != "wineserver":
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total
before = resource.getrusage(resource.RUSAGE_CHILDREN)
ticks = wineserver_ticks()
start = time.monotonic()
result = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
wall = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
cpu += (wineserver_ticks() - ticks) / os.sysconf("SC_CLK_TCK")
transfer = wall
for word in result.stdout.split():
    if word.startswith("ms="):
        transfer = float(word[3:]) / 1000
    elif word.startswith("curl_s="):
        transfer = float(word[7:])
print(f"{transfer:.3f} {cpu:.3f} {result.returncode}")
EOF

winpath() { echo "Z:$1" | tr / '\\'; }
out_dl=$(winpath "$tmp/out/dl")
out_raw=$(winpath "$tmp/out/raw.bin")
out_nocache=$(winpath "$tmp/out/nocache.bin")
out_comp=$(winpath "$tmp/out/comp")
mkdir -p "$tmp/out/dl" "$tmp/out/comp"

cat > "$tmp/runs.sh" <<EOF
set -u
for i in \$(seq $runs); do
  rm -f "$tmp/out/dl/big.bin" "$tmp/out/raw.bin" "$tmp/out/nocache.bin" "$tmp/out/curl.bin"
  rm -rf "$tmp/out/comp"/*
  echo "downloader \$(python3 "$tmp/measure.py" "$repo/tools/wine-run.sh" "$exe" downloader "$url" "$out_dl")"
  cmp -s "$tmp/www/big.bin" "$tmp/out/dl/big.bin" || echo "mismatch downloader"
  echo "wininet \$(python3 "$tmp/measure.py" "$repo/tools/wine-run.sh" "$exe" wininet "$url" "$out_raw")"
  cmp -s "$tmp/www/big.bin" "$tmp/out/raw.bin" || echo "mismatch wininet"
  echo "component \$(python3 "$tmp/measure.py" "$repo/tools/wine-run.sh" "$exe" component "$url" "$out_comp")"
  # The component writes into a private folder of its own below the service's folder.
  comp_file=\$(find "$tmp/out/comp" -name big.bin -type f | head -n 1)
  [ -n "\$comp_file" ] && cmp -s "$tmp/www/big.bin" "\$comp_file" || echo "mismatch component"
  echo "wininet-nocache \$(python3 "$tmp/measure.py" "$repo/tools/wine-run.sh" "$exe" wininet-nocache "$url" "$out_nocache")"
  cmp -s "$tmp/www/big.bin" "$tmp/out/nocache.bin" || echo "mismatch wininet-nocache"
  echo "curl \$(python3 "$tmp/measure.py" curl -s -w "curl_s=%{time_total}" -o "$tmp/out/curl.bin" "$url")"
  cmp -s "$tmp/www/big.bin" "$tmp/out/curl.bin" || echo "mismatch curl"
done
EOF
"$repo/tools/with-wine-env.sh" "$build" bash "$tmp/runs.sh" > "$tmp/results.txt"
if grep -q mismatch "$tmp/results.txt"; then
  grep mismatch "$tmp/results.txt" >&2
  echo "bench: a client wrote a file that differs from the served one" >&2
  exit 1
fi

python3 - "$tmp/results.txt" "$size_mib" "$runs" <<'EOF'
import statistics, sys
path, size_mib, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rows = {}
for line in open(path):
    name, wall, cpu, rc = line.split()
    if rc != "0":
        sys.exit(f"bench: {name} failed (exit {rc})")
    rows.setdefault(name, []).append((float(wall), float(cpu)))
med = {k: (statistics.median(w for w, _ in v), statistics.median(c for _, c in v)) for k, v in rows.items()}
mib = size_mib
print(f"download of {mib} MiB from a local nginx, median of {runs} runs (transfer time; CPU of the whole client)")
names = {"downloader": "CXHttpDownloader", "component": "download manager", "wininet": "bare WinINet loop",
         "wininet-nocache": "bare loop, no cache copy", "curl": "curl"}
for name in ("downloader", "component", "wininet", "wininet-nocache", "curl"):
    wall, cpu = med[name]
    walls = [w for w, _ in rows[name]]
    print(f"  {names[name]:<25} {wall:7.2f} s {mib / wall:7.1f} MiB/s   CPU {cpu:6.2f} s ({cpu / mib * 1024:5.2f} s/GiB)"
          f"   range {min(walls):.2f}-{max(walls):.2f} s")
dl, comp, raw, curl = (mib / med[k][0] for k in ("downloader", "component", "wininet", "curl"))
print(f"  CXHttpDownloader / bare WinINet loop: {dl / raw:.2f}x  (goal >= 0.9x)")
print(f"  download manager / bare WinINet loop: {comp / raw:.2f}x  (goal >= 0.9x)")
print(f"  CXHttpDownloader / curl:              {dl / curl:.2f}x")
print(f"  bare WinINet loop / curl:             {raw / curl:.2f}x")
print(f"  CPU downloader / bare loop:           {med['downloader'][1] / med['wininet'][1]:.2f}x")
print(f"  (for information: WinINet's cache copy costs the bare loop "
      f"{med['wininet'][0] / med['wininet-nocache'][0]:.2f}x its time without it)")
EOF
