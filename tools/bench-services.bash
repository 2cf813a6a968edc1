# The update client's benchmarks: Quenta.exe /M AUTO with the three service blocks the launcher
# sends (player firmware, jukebox notice, launcher), each answered "no update" by the local
# update server. Sourced inside tools/with-wine-env.sh; needs REPO and BUILD.
#
#   bench_services_serve NAME       (on the host) make a temp folder /tmp/NAME.XXXXXX (its path in
#                                   bench_services_tmp) and serve its www folder with the update
#                                   server; both are removed when the script exits
#   bench_services_setup DIR SERVER
#                                   write and publish the three information files into DIR/www
#                                   (served as SERVER), register the components, point the client
#                                   at SERVER and plug the simulated player (its state in DIR);
#                                   sets bench_services_args, Quenta's command line
#   bench_services_run              one run of Quenta with those arguments, waited for
#   bench_services_teardown         remove the client's registry keys again
#   bench_services_requests LOG SUFFIX TEST N
#                                   (on the host) fail unless the number of times each service's
#                                   info.xml SUFFIX was answered in the server's LOG passes
#                                   [ count TEST N ] (-eq: exactly, -ge: at least)

. "$REPO/tools/update-server.bash"

bench_services_key="HKLM\\SOFTWARE\\Orvo Corporation\\Velomar Launcher\\Auto Update Client"
bench_services_args=

bench_services_tmp=

bench_services_serve() { # name
  bench_services_tmp=$(mktemp -d "/tmp/$1.XXXXXX")
  trap 'update_server_stop; rm -rf "$bench_services_tmp"' EXIT INT TERM
  mkdir -p "$bench_services_tmp/www"
  update_server_start "$bench_services_tmp/www"
}

bench_services_setup() { # dir server
  local dir=$1 server=$2 dll
  mkdir -p "$dir/www"
  # Rules that do not hold for what the client reports.
  update_info_body System FirmwareVersion 0.0.0.1 QXB417 0.0.0.1 http://127.0.0.1/none \
    "$(printf '%064d' 0)" 1 Benchmark. > "$dir/fw.xml"
  update_info_body Software Merrowdeck 0.0.0.1 Merrowdeck 0.0.0.1 http://127.0.0.1/none "$(printf '%064d' 0)" 1 \
    Benchmark. > "$dir/md.xml"
  update_info_body Software "Velomar Launcher" 0.0.0.1 "Velomar Launcher" 0.0.0.1 http://127.0.0.1/none \
    "$(printf '%064d' 0)" 1 Benchmark. > "$dir/tvk.xml"
  update_info_publish PA001 QXB417FW "$dir/fw.xml" "$dir/www"
  update_info_publish PP001 MDInfo "$dir/md.xml" "$dir/www"
  update_info_publish PP001 TVK "$dir/tvk.xml" "$dir/www"
  for dll in ZepBackend_Library.dll ZepGUI_Library.dll; do
    wine regsvr32 /s "$(winepath -w "$BUILD/bin/$dll" 2>/dev/null)"
  done
  wine reg add "$bench_services_key" /v _Dbg_Info_ /d "$server/" /f >/dev/null
  DRENLOX_PLAYER_STATE=$(winepath -w "$dir/player.ini" 2>/dev/null)
  export DRENLOX_PLAYER_STATE
  "$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" plug >/dev/null
  bench_services_args=" /M AUTO  /C PA001 /S VLFW /N \"QX-B417\" /E 0.00 /F UPDATE /C PP001 /S MDInfo /N \"Merrowdeck\" /E 0.00 /F INFO /C PP001 /S TVK /N \"Velomar Launcher\" /E 1.0.0.0 /F UPDATE"
}

bench_services_run() {
  eval wine "\"$BUILD/bin/Quenta.exe\"" "$bench_services_args" </dev/null >/dev/null 2>&1
}

bench_services_teardown() {
  wine reg delete "$bench_services_key" /f >/dev/null 2>&1 || true
}

bench_services_requests() { # log suffix test n
  local f n
  for f in PA001/QXB417FW PP001/MDInfo PP001/TVK; do
    n=$(grep -c "GET /$f/info/info.xml$2 HTTP/1.1\" 200" "$1" || true)
    echo "requests for $f/info/info.xml$2: $n"
    [ "$n" "$3" "$4" ] || { echo "bench: $f/info/info.xml$2 was not asked for in every run" >&2; return 1; }
  done
}
