# The update client end to end: the player of the Pirro step (serial DEMO0123456789, its storage
# the folder behind drive E:) is plugged into the simulated firmware library, a local server
# offers it firmware 2.0.0.0 and the jukebox notice and has nothing new for the launcher, and
# Quenta.exe runs as the launcher starts it on the user's request (/M MANUAL, three services).
# Its windows are photographed (quenta-1.png, ...; progress windows too) and answered with OK;
# the player ends at firmware 2.0.0.0.
# Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
. "$REPO/tools/update-server.bash"
. "$REPO/tools/demo.d/quenta-windows.bash"
quenta_fail() { echo "50-quenta: FAILED: $*" >&2; update_server_stop; exit 1; }
quenta_work=$(mktemp -d)
quenta_www=$quenta_work/www
quenta_key='HKLM\SOFTWARE\Orvo Corporation\Velomar Launcher'
mkdir -p "$quenta_www" "$DEMO_OUT/player-drive"

# The player as the simulated library sees it: the same serial number and storage as drive E:.
export DRENLOX_PLAYER_STATE=$(winepath -w "$quenta_work/player.ini" 2>/dev/null)
"$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" plug --serial DEMO0123456789 --version 1.0.0.0 \
  --storage "$(winepath -w "$DEMO_OUT/player-drive" 2>/dev/null)" --delay 5000 >/dev/null || quenta_fail "drenloxctl plug"

# The update server (nginx): firmware for the player, a notice for the jukebox, nothing for the
# launcher.
"$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" image 2.0.0.0 "$(winepath -w "$quenta_work/fw.upg" 2>/dev/null)" \
  || quenta_fail "firmware image"
mkdir -p "$quenta_www/packages"
cp "$quenta_work/fw.upg" "$quenta_www/packages/fw.upg"
update_server_start "$quenta_www" 4 || quenta_fail "the update server did not start"
quenta_base=$update_server_base
quenta_fw_sha256=$(sha256sum < "$quenta_work/fw.upg" | cut -d' ' -f1)
quenta_fw_size=$(stat -c %s "$quenta_work/fw.upg")
update_info_body System FirmwareVersion 2.0.0.0 "QXB417 Firmware" 2.0.0.0 "$quenta_base/packages/fw.upg" \
  "$quenta_fw_sha256" "$quenta_fw_size" "Firmware 2.0.0.0: faster start, longer battery life." > "$quenta_work/fw.xml"
update_info_body Software Merrowdeck 1.0.0.0 Merrowdeck 1.0.0.0 "$quenta_base/merrowdeck.html" \
  0123456789abcdef0123456789abcdef 0 "Merrowdeck, the jukebox for your player, is available." > "$quenta_work/md.xml"
update_info_body Software "Velomar Launcher" 0.0.0.1 "Velomar Launcher" 0.0.0.1 "$quenta_base/none" \
  0123456789abcdef0123456789abcdef 1 "Nothing new." > "$quenta_work/tvk.xml"
for quenta_s in "PA001 QXB417FW fw" "PP001 MDInfo md" "PP001 TVK tvk"; do
  set -- $quenta_s
  update_info_publish "$1" "$2" "$quenta_work/$3.xml" "$quenta_www" || quenta_fail "zepinfo publish $2"
done

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
demo_quenta_windows "$quenta_driver" "$quenta_ready" "$quenta_done" "$DEMO_OUT/quenta"
wait "$quenta_driver" || quenta_fail "the client did not end"
update_server_stop

quenta_version=$("$REPO/tools/wine-run.sh" "$BUILD/bin/drenloxctl.exe" show | tr -d '\r' | awk '$1 == "FirmwareVersion" {print $2}')
quenta_status=$(wine reg query "$quenta_key\\Auto Update Client\\QXB417FW\\DEMO0123456789" /v LastUpdateStatus \
  </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "LastUpdateStatus" {print $3}')
wine reg query "$quenta_key\\Auto Update END\\MDInfo" </dev/null >/dev/null 2>&1 || quenta_fail "the notice was not marked as accepted"
echo "jukebox notice accepted (end marker written); launcher: no update"
[ "$quenta_version" = "2.0.0.0" ] && [ "$quenta_status" = 00 ] \
  || quenta_fail "player firmware $quenta_version, LastUpdateStatus ${quenta_status:-none} (expected 2.0.0.0, 00)"
echo "player firmware updated to $quenta_version (LastUpdateStatus $quenta_status)"
wine reg delete "$quenta_key\\Auto Update Client" /f </dev/null >/dev/null 2>&1 || true
for quenta_dll in ZepBackend_Library.dll ZepGUI_Library.dll; do
  wine regsvr32 /s /u "$(winepath -w "$BUILD/bin/$quenta_dll" 2>/dev/null)" </dev/null >/dev/null 2>&1 || true
done
unset DRENLOX_PLAYER_STATE
rm -rf "$quenta_work"
echo "update client demo finished"
