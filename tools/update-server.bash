# A local update server: nginx on a free loopback port, serving a folder of information files
# published with zepinfo and of packages. Sourced by the demo steps that run the update client
# and by the client's benchmarks (through tools/bench-services.bash). Needs REPO and BUILD for
# publishing.
#
#   update_server_start ROOT [SECONDS]
#                                   serve ROOT; sets update_server_base (http://127.0.0.1:PORT).
#                                   With SECONDS each file in ROOT/packages/ (in place before the
#                                   start) is sent at its size / SECONDS bytes a second, so that
#                                   the download windows stay on screen long enough to be seen
#   update_server_requests          the requests answered so far, one line each
#   update_server_log               the access log's path
#   update_server_stop
#   update_info_body RULE_TYPE RULE_KEY RULE_VALUE PACKAGE_ID PACKAGE_VERSION URI MAC SIZE DETAIL
#                                   an information file offering one package when the rule holds
#   update_info_publish CATEGORY SERVICE XML_FILE ROOT
#                                   publish XML_FILE where the client looks for SERVICE, signed
#                                   with the build's development key (info.xml and info.xml.sig)

update_server_pid= update_server_base= update_server_dir=

update_server_start() { # root [seconds]
  command -v nginx >/dev/null || { echo "update server: nginx is not installed (tools/setup.sh installs it)" >&2; return 1; }
  local root=$1 seconds=${2:-} port f rates=
  update_server_dir=$(mktemp -d)
  if [ -n "$seconds" ]; then
    for f in "$root"/packages/*; do
      [ -f "$f" ] || continue
      rates+="    location = /packages/${f##*/} { limit_rate $(( $(stat -c %s "$f") / seconds + 1 )); }"$'\n'
    done
  fi
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  # One process, no change of user: the folders the caller made stay readable whoever runs it.
  cat > "$update_server_dir/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $update_server_dir/nginx.pid;
error_log $update_server_dir/error.log;
events { worker_connections 64; }
http {
  access_log $update_server_dir/access.log;
  client_body_temp_path $update_server_dir/body;
  proxy_temp_path $update_server_dir/proxy;
  fastcgi_temp_path $update_server_dir/fastcgi;
  uwsgi_temp_path $update_server_dir/uwsgi;
  scgi_temp_path $update_server_dir/scgi;
  default_type application/octet-stream;
  types { text/xml xml; text/html html; }
  server {
    listen 127.0.0.1:$port;
    root $root;
$rates  }
}
EOF
  nginx -p "$update_server_dir" -c "$update_server_dir/nginx.conf" -e "$update_server_dir/error.log" &
  update_server_pid=$!
  update_server_base=http://127.0.0.1:$port
  local _
  for _ in $(seq 50); do
    curl -s -o /dev/null "$update_server_base/" && return 0
    kill -0 "$update_server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "update server: nginx did not answer on port $port:" >&2
  cat "$update_server_dir/error.log" >&2 2>/dev/null || true
  return 1
}

update_server_log() { echo "$update_server_dir/access.log"; }

# The requests the server answered, one line each (method, path, status, bytes sent).
update_server_requests() {
  awk '{print $6, $7, $9, $10}' "$update_server_dir/access.log" 2>/dev/null | tr -d '"'
}

update_server_stop() {
  if [ -n "$update_server_pid" ]; then
    kill "$update_server_pid" 2>/dev/null || true
    wait "$update_server_pid" 2>/dev/null || true
  fi
  [ -n "$update_server_dir" ] && rm -rf "$update_server_dir"
  update_server_pid= update_server_dir=
}

update_info_body() {
  cat <<XML
<InformationFile Noop="false"><ApplyConditions><ApplyCondition Force="false"><Rules>
<Rule Type="$1" Key="$2" Value="$3" Operator="LessThan"/></Rules>
<Descriptions DefaultLang="en"><Description Lang="en">$9</Description></Descriptions>
<Distributions><Package ID="$4" Version="$5" URI="$6" MAC="$7" Size="$8"/></Distributions>
</ApplyCondition></ApplyConditions><ControlConditions DefaultServiceStatus="open"/></InformationFile>
XML
}

update_info_publish() { # category service xml root
  "$REPO/tools/wine-run.sh" "$BUILD/bin/zepinfo.exe" publish --service "$2" --category "$1" \
    --key "$(winepath -w "$BUILD/keys/update-signing-dev.pem" 2>/dev/null)" \
    "$(winepath -w "$3" 2>/dev/null)" "$(winepath -w "$4" 2>/dev/null)" </dev/null >/dev/null
}
