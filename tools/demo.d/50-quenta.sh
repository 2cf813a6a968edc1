# The update client end to end: the player of the Pirro step (serial DEMO0123456789, its storage
# the folder behind drive E:) is plugged into the simulated firmware library, a local server
# offers it firmware 2.0.0.0 and the jukebox notice and has nothing new for the launcher, and
# Quenta.exe runs as the launcher starts it on the user's request (/M MANUAL, three services).
# Its windows are photographed (quenta-1.png, ...) and answered with OK. With a download
# manager that downloads, the player ends at firmware 2.0.0.0; until then the firmware service
# ends with the download error, which the demo reports and tolerates.
# Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
quenta_fail() { echo "50-quenta: FAILED: $*" >&2; exit 1; }
quenta_work=$(mktemp -d)
quenta_www=$quenta_work/www
quenta_key='HKLM\SOFTWARE\Orvo Corporation\Velomar Launcher'
mkdir -p "$quenta_www" "$DEMO_OUT/player-drive"

# The player as the simulated library sees it: the same serial number and storage as drive E:.
export DRENLOX_PLAYER_STATE=$(winepath -w "$quenta_work/player.ini" 2>/dev/null)
"$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" plug --serial DEMO0123456789 --version 1.0.0.0 \
  --storage "$(winepath -w "$DEMO_OUT/player-drive" 2>/dev/null)" --delay 3000 >/dev/null || quenta_fail "drenloxctl plug"

# The update server: firmware for the player, a notice for the jukebox, nothing for the launcher.
"$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" image 2.0.0.0 "$(winepath -w "$quenta_work/fw.upg" 2>/dev/null)" \
  || quenta_fail "firmware image"
quenta_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
quenta_base=http://127.0.0.1:$quenta_port
mkdir -p "$quenta_www/packages"
cp "$quenta_work/fw.upg" "$quenta_www/packages/fw.upg"
quenta_fw_md5=$(md5sum < "$quenta_work/fw.upg" | cut -d' ' -f1)
quenta_fw_size=$(stat -c %s "$quenta_work/fw.upg")
quenta_body() { # rule-type rule-key rule-version package-id package-version uri mac size detail
  cat <<XML
<InformationFile Noop="false"><ApplyConditions><ApplyCondition Force="false"><Rules>
<Rule Type="$1" Key="$2" Value="$3" Operator="LessThan"/></Rules>
<Descriptions DefaultLang="en"><Description Lang="en">$9</Description></Descriptions>
<Distributions><Package ID="$4" Version="$5" URI="$6" MAC="$7" Size="$8"/></Distributions>
</ApplyCondition></ApplyConditions><ControlConditions DefaultServiceStatus="open"/></InformationFile>
XML
}
quenta_body System FirmwareVersion 2.0.0.0 "QXB417 Firmware" 2.0.0.0 "$quenta_base/packages/fw.upg" \
  "$quenta_fw_md5" "$quenta_fw_size" "Firmware 2.0.0.0: faster start, longer battery life." > "$quenta_work/fw.xml"
quenta_body Software Merrowdeck 1.0.0.0 Merrowdeck 1.0.0.0 "$quenta_base/merrowdeck.html" \
  0123456789abcdef0123456789abcdef 0 "Merrowdeck, the jukebox for your player, is available." > "$quenta_work/md.xml"
quenta_body Software "Velomar Launcher" 0.0.0.1 "Velomar Launcher" 0.0.0.1 "$quenta_base/none" \
  0123456789abcdef0123456789abcdef 1 "Nothing new." > "$quenta_work/tvk.xml"
for quenta_s in "PA001 QXB417FW fw" "PP001 MDInfo md" "PP001 TVK tvk"; do
  set -- $quenta_s
  "$REPO/tools/wine-run.sh" "$BUILD/bin/zepinfo.exe" publish --service "$2" --category "$1" \
    "$(winepath -w "$quenta_work/$3.xml" 2>/dev/null)" "$(winepath -w "$quenta_www" 2>/dev/null)" >/dev/null \
    || quenta_fail "zepinfo publish $2"
done
python3 -m http.server "$quenta_port" --bind 127.0.0.1 --directory "$quenta_www" >/dev/null 2>&1 &
quenta_server=$!
for _ in $(seq 50); do curl -s -o /dev/null "$quenta_base/" && break; sleep 0.1; done

# The client's components, registered where the client is installed.
for quenta_dll in ZepBackend_Library.dll ZepGUI_Library.dll; do
  wine regsvr32 /s "$(winepath -w "$BUILD/bin/$quenta_dll" 2>/dev/null)" </dev/null >/dev/null 2>&1 \
    || quenta_fail "registration of $quenta_dll"
done
wine reg delete "$quenta_key\\Auto Update Client" /f </dev/null >/dev/null 2>&1 || true
wine reg delete "$quenta_key\\Auto Update END" /f </dev/null >/dev/null 2>&1 || true
wine reg add "$quenta_key\\Auto Update Client" /v _Dbg_Info_ /d "$quenta_base/" /f </dev/null >/dev/null 2>&1 \
  || quenta_fail "_Dbg_Info_"

# Run it; photograph every window before it is answered.
quenta_ready=$quenta_work/ready quenta_done=$quenta_work/done
"$REPO/tools/wine-run.sh" "$BUILD/bin/quenta_demo_driver.exe" "$(winepath -w "$quenta_ready" 2>/dev/null)" \
  "$(winepath -w "$quenta_done" 2>/dev/null)" "$(winepath -w "$BUILD/bin/Quenta.exe" 2>/dev/null)" \
  /M MANUAL /C PA001 /S VLFW /N QX-B417 /E 0.00 /F UPDATE /C PP001 /S MDInfo /N Merrowdeck /E 0.00 /F INFO \
  /C PP001 /S TVK /N "Velomar Launcher" /E 1.0.0.0 /F UPDATE > "$quenta_work/driver.txt" &
quenta_driver=$!
quenta_n=0
while kill -0 "$quenta_driver" 2>/dev/null; do
  if [ -s "$quenta_ready.$((quenta_n + 1))" ]; then
    quenta_n=$((quenta_n + 1))
    read -r l t r b kind < <(tr -d '\r' < "$quenta_ready.$quenta_n")
    x=$(( l > 12 ? l - 12 : 0 )); y=$(( t > 12 ? t - 12 : 0 )); w=$(( r + 12 - x )); h=$(( b + 12 - y ))
    (( x + w > 1024 )) && w=$(( 1024 - x )); (( y + h > 768 )) && h=$(( 768 - y ))
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$DEMO_OUT/quenta-$quenta_n.png" || true
    echo "screenshot: $DEMO_OUT/quenta-$quenta_n.png ($kind)"
    touch "$quenta_done.$quenta_n"
  fi
  sleep 0.1
done
wait "$quenta_driver" || quenta_fail "the client did not end"
kill "$quenta_server" 2>/dev/null || true

quenta_version=$("$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" show | tr -d '\r' | awk '$1 == "FirmwareVersion" {print $2}')
quenta_status=$(wine reg query "$quenta_key\\Auto Update Client\\QXB417FW\\DEMO0123456789" /v LastUpdateStatus \
  </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "LastUpdateStatus" {print $3}')
wine reg query "$quenta_key\\Auto Update END\\MDInfo" </dev/null >/dev/null 2>&1 || quenta_fail "the notice was not marked as accepted"
echo "jukebox notice accepted (end marker written); launcher: no update"
if [ "$quenta_version" = "2.0.0.0" ]; then
  echo "player firmware updated to $quenta_version (LastUpdateStatus $quenta_status)"
else
  echo "player firmware still $quenta_version (LastUpdateStatus ${quenta_status:-none}): the download manager does not download yet"
fi
wine reg delete "$quenta_key\\Auto Update Client" /f </dev/null >/dev/null 2>&1 || true
for quenta_dll in ZepBackend_Library.dll ZepGUI_Library.dll; do
  wine regsvr32 /s /u "$(winepath -w "$BUILD/bin/$quenta_dll" 2>/dev/null)" </dev/null >/dev/null 2>&1 || true
done
unset DRENLOX_PLAYER_STATE
rm -rf "$quenta_work"
echo "update client demo finished"
