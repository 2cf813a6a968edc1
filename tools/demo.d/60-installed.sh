# One user on the installed product: bin/Velomar.msi installed by msiexec, the player plugged
# in, the launcher's first-run settings, an update check by the installed client that updates the
# player's firmware, and the removal of the package. Screenshots: installed-*.png.
# Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
#
# What is simulated, and said so in the output:
# - the player: Wine has no SCSI pass-through, so the installed Pirro cannot ask the drive who it
#   is. It is closed and the demo's PirroEmu (the same watcher, reading the INQUIRY answer from a
#   file) watches instead, with the drive and device registry of 20-pirro.sh; it starts the
#   INSTALLED launcher through the product key the package wrote.
# - the firmware library: the package's stand-in Drenlox.dll, a simulated player.
# - the update server: a local one, reached through the client's "_Dbg_Info_" base URL.

inst_run() { "$REPO/tools/wine-run.sh" "$@" </dev/null; }
inst_reg() { wine reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
inst_key='HKLM\SOFTWARE\Orvo Corporation\Velomar Launcher'
inst_prog=$WINEPREFIX/drive_c/Program\ Files/Orvo\ Corporation/Velomar\ Launcher
inst_prog_win='C:\Program Files\Orvo Corporation\Velomar Launcher'
inst_data=$WINEPREFIX/drive_c/ProgramData/Orvo\ Corporation/Velomar\ Launcher
inst_msi_win=$(winepath -w "$BUILD/bin/Velomar.msi" 2>/dev/null)
inst_work=$(mktemp -d)
inst_log_win=$(winepath -w "$inst_work/msiexec.log" 2>/dev/null)
inst_clsids="{1FC31CB1-8308-4923-8CCD-CB7437C4416D} {AAE25C9F-9C89-46AF-BAD7-A4F87E8D5600} {C813BAC2-EA4A-4C30-8A16-9958EE53002F}"
inst_n=0 inst_failed=0 inst_summary=

# One line per step: what the user would see happen, and whether it did.
inst_result() { # ok|FAIL text
  inst_n=$((inst_n + 1))
  printf '  [%2d] %-4s %s\n' "$inst_n" "$1" "$2"
  inst_summary+="$(printf '  [%2d] %-4s %s' "$inst_n" "$1" "$2")"$'\n'
  [ "$1" = ok ] || inst_failed=$((inst_failed + 1))
}
# Never fails itself (the demo runs under set -e): inst_ok says how the step went.
inst_check() { # text command...
  local text=$1; shift
  if "$@"; then inst_ok=1; inst_result ok "$text"; else inst_ok=0; inst_result FAIL "$text"; fi
}
inst_note() { echo "       ($*)"; }
inst_shot() { # name [crop]
  sleep 1.5  # let the controls finish painting
  import -window root -crop "${2:-1024x768+0+0}" +repage "$DEMO_OUT/$1" 2>/dev/null || return 1
  echo "       screenshot: $DEMO_OUT/$1"
}
# msiexec's own exit code (wine passes the program's exit code through) in inst_msi_rc.
inst_msiexec() { # /i|/x
  rm -f "$inst_work/msiexec.log"
  wine msiexec "$1" "$inst_msi_win" /qn /l*v "$inst_log_win" </dev/null >/dev/null 2>&1
  inst_msi_rc=$?
}
inst_log_has() { iconv -f UTF-16LE -t UTF-8 "$inst_work/msiexec.log" 2>/dev/null | grep -qF "$1" \
  || grep -qaF "$1" "$inst_work/msiexec.log"; }
inst_key_exists() { wine reg query "$1" </dev/null >/dev/null 2>&1; }
inst_value() { inst_reg query "$1" /v "$2" | awk -v n="$2" '$1 == n {$1=""; $2=""; sub(/^  */, ""); print}'; }

# A machine without the product: no package of an earlier run, none of the earlier steps' keys
# or settings file (the first run has to come from the installation).
wine msiexec /x "$inst_msi_win" /qn </dev/null >/dev/null 2>&1 || true
wine reg delete "$inst_key" /f </dev/null >/dev/null 2>&1 || true
rm -f "$inst_data/TOLVIKSetting.xml"
echo "a machine without the product: no product key, no settings file"

# 1. The installation.
inst_began=$(date +%s)
inst_msiexec /i
inst_check "msiexec /i Velomar.msi /qn ended with exit code $inst_msi_rc" [ "$inst_msi_rc" -eq 0 ]
[ "$inst_ok" = 1 ] || {
  echo "60-installed: FAILED: the package did not install; see $DEMO_OUT/installed-msiexec-install.log" >&2
  cp -f "$inst_work/msiexec.log" "$DEMO_OUT/installed-msiexec-install.log"; exit 1; }
cp -f "$inst_work/msiexec.log" "$DEMO_OUT/installed-msiexec-install.log"
inst_note "took $(( $(date +%s) - inst_began )) s; verbose log: $DEMO_OUT/installed-msiexec-install.log"
inst_files_present() {
  local f
  for f in Tolvik.exe Pirro.exe UpdateChecker/Quenta.exe UpdateChecker/ZepBackend_Library.dll \
           UpdateChecker/ZepGUI_Library.dll UpdateChecker/ZepGUI_LibraryRes.dll \
           UpdateChecker/ZepHelper_ApplicationRes.dll UpdateChecker/Drenlox.dll; do
    [ -f "$inst_prog/$f" ] || { echo "       missing: $f"; return 1; }
  done
}
inst_check "program folder $inst_prog_win holds the launcher, the watcher and UpdateChecker\\Quenta.exe" inst_files_present
inst_tolvik_path=$(inst_value "$inst_key\\TOLVIK" InstalledPath)
inst_check "product key: TOLVIK InstalledPath = $inst_tolvik_path" [ "$inst_tolvik_path" = "$inst_prog_win\\Tolvik.exe" ]
inst_com_registered() {
  local c p
  for c in $inst_clsids; do
    p=$(inst_reg query "HKCR\\CLSID\\$c\\InprocServer32" /ve | awk '/REG_SZ/ {sub(/.*REG_SZ[ \t]*/, ""); print}')
    case "$p" in "$inst_prog_win\\UpdateChecker\\"*.dll) ;; *) echo "       $c: '$p'"; return 1;; esac
  done
}
inst_check "COM classes of both component libraries registered in UpdateChecker" inst_com_registered
inst_check "custom actions ran: instance lock, updates paused and resumed, data folder" eval \
  'inst_log_has "Ondrix:  Took the instance lock" && inst_log_has "Halvent:  Succeeded : Pauses automatic updating" &&
   { inst_log_has "Moltra:  Created the data folder" || inst_log_has "Moltra:  The data folder exists"; } &&
   inst_log_has "Halvent:  Succeeded : Resumes automatic updating"'
inst_check "data folder in place, no settings file yet (the launcher's first run writes it)" \
  eval '[ -d "$inst_data" ] && [ ! -e "$inst_data/TOLVIKSetting.xml" ]'
inst_check "the installation started the installed Pirro (hidden)" inst_run "$BUILD/bin/PirroCtl.exe" wait 15000

# 2. The player is plugged in.
inst_pirro_dir=$WINEPREFIX/drive_c/VelomarDemo/PirroInstalled
mkdir -p "$inst_pirro_dir" "$DEMO_OUT/player-drive"
cp -f "$BUILD/bin/PirroEmu.exe" "$inst_pirro_dir/PirroEmu.exe"
inst_check "installed Pirro closed to make way for the emulated watcher (Wine has no SCSI pass-through)" eval \
  'inst_run "$BUILD/bin/PirroCtl.exe" close >/dev/null && inst_run "$BUILD/bin/PirroCtl.exe" gone 10000'
inst_drive_win=$(winepath -w "$DEMO_OUT/player-drive" 2>/dev/null)
inst_run "$BUILD/bin/PirroCtl.exe" unmount E >/dev/null 2>&1 || true
inst_plug() {
  inst_run "$BUILD/bin/PirroCtl.exe" mount E "$inst_drive_win" removable >/dev/null &&
  inst_run "$BUILD/bin/PirroCtl.exe" fixture E 1a2b 3c4d DEMO0123456789 >/dev/null &&
  inst_run "$BUILD/bin/PirroCtl.exe" inquiry E Orvo KOVRAHD1 > "$inst_pirro_dir/PirroEmu.inquiry.txt" &&
  wine reg add 'HKCU\Software\Orvo Corporation\Velomar Launcher' /v AutoLaunch /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
}
inst_check "SIMULATED player: removable drive E:, USB ids 1a2b/3c4d, serial DEMO0123456789, INQUIRY answer from a file" inst_plug
# The scheduled check is not due yet (checked just now): the launcher does not start the client
# by itself here; step 4 starts it with the driver that photographs its windows.
wine reg add "$inst_key\\TOLVIK\\Update" /v UpdateTime /t REG_QWORD /d "$(date +%s)" /f </dev/null >/dev/null 2>&1 || true
inst_run "$inst_pirro_dir/PirroEmu.exe" &
inst_pirro_pid=$!
inst_check "emulated Pirro watching for players" inst_run "$BUILD/bin/PirroCtl.exe" wait 15000
inst_check "player plugged in: drive arrival of C: and E: announced" inst_run "$BUILD/bin/PirroCtl.exe" arrive CE

# 3. The installed launcher's first run.
inst_tolvik_shown=0
inst_check "Pirro started the INSTALLED Tolvik, which opened its first-run settings dialog" \
  inst_run "$BUILD/bin/tolvik_driver.exe" settings-wait 30
if [ "$inst_ok" = 1 ]; then
  inst_shot installed-settings-first-run.png || true
  # The package's product key lists only the Custom candidate for each kind.
  inst_note "no program is preselected for the kinds: the package offers only Custom"
  inst_run "$BUILD/bin/tolvik_driver.exe" settings-tab 1 && inst_shot installed-settings-first-run-update.png || true
  inst_run "$BUILD/bin/tolvik_driver.exe" settings-command 1 || true
  sleep 1
  inst_check "first-run settings confirmed with OK (first_exec false in the data folder)" \
    grep -q '<first_exec>false</first_exec>' "$inst_data/TOLVIKSetting.xml"
  inst_check "the launcher's window is open for drive E:" inst_run "$BUILD/bin/tolvik_driver.exe" wait 30
  if [ "$inst_ok" = 1 ]; then
    inst_shot installed-tolvik.png || true
    inst_tolvik_shown=1
  fi
fi
[ "$inst_tolvik_shown" = 1 ] && { inst_run "$BUILD/bin/tolvik_driver.exe" close 15 >/dev/null 2>&1 || true; }
inst_run "$BUILD/bin/PirroCtl.exe" close >/dev/null 2>&1 || true
inst_run "$BUILD/bin/PirroCtl.exe" gone 10000 >/dev/null 2>&1 || true
wait "$inst_pirro_pid" 2>/dev/null || true
inst_run "$BUILD/bin/PirroCtl.exe" unmount E >/dev/null 2>&1 || true

# 4. An update check by the installed client against a local server.
inst_www=$inst_work/www
mkdir -p "$inst_www/packages"
export DRENLOX_PLAYER_STATE=$(winepath -w "$inst_work/player.ini" 2>/dev/null)
inst_check "SIMULATED player in the stand-in firmware library: serial DEMO0123456789, firmware 1.0.0.0" \
  eval 'inst_run "$BUILD/bin/drenloxctl.exe" plug --serial DEMO0123456789 --version 1.0.0.0 --storage "$inst_drive_win" --delay 3000 >/dev/null'
inst_run "$BUILD/bin/drenloxctl.exe" image 2.0.0.0 "$(winepath -w "$inst_www/packages/fw.upg" 2>/dev/null)" >/dev/null || true
inst_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
inst_base=http://127.0.0.1:$inst_port
inst_body() { # rule-type rule-key rule-version package-id package-version uri mac size detail
  cat <<XML
<InformationFile Noop="false"><ApplyConditions><ApplyCondition Force="false"><Rules>
<Rule Type="$1" Key="$2" Value="$3" Operator="LessThan"/></Rules>
<Descriptions DefaultLang="en"><Description Lang="en">$9</Description></Descriptions>
<Distributions><Package ID="$4" Version="$5" URI="$6" MAC="$7" Size="$8"/></Distributions>
</ApplyCondition></ApplyConditions><ControlConditions DefaultServiceStatus="open"/></InformationFile>
XML
}
inst_publish() {
  [ -s "$inst_www/packages/fw.upg" ] || return 1
  inst_body System FirmwareVersion 2.0.0.0 "QXB417 Firmware" 2.0.0.0 "$inst_base/packages/fw.upg" \
    "$(md5sum < "$inst_www/packages/fw.upg" | cut -d' ' -f1)" "$(stat -c %s "$inst_www/packages/fw.upg")" \
    "Firmware 2.0.0.0: faster start, longer battery life." > "$inst_work/fw.xml"
  inst_body Software "Velomar Launcher" 0.0.0.1 "Velomar Launcher" 0.0.0.1 "$inst_base/none" \
    0123456789abcdef0123456789abcdef 1 "Nothing new." > "$inst_work/tvk.xml"
  local s
  for s in "PA001 QXB417FW fw" "PP001 TVK tvk"; do
    set -- $s
    inst_run "$BUILD/bin/zepinfo.exe" publish --service "$2" --category "$1" \
      "$(winepath -w "$inst_work/$3.xml" 2>/dev/null)" "$(winepath -w "$inst_www" 2>/dev/null)" >/dev/null || return 1
  done
  python3 -m http.server "$inst_port" --bind 127.0.0.1 --directory "$inst_www" >/dev/null 2>&1 &
  inst_server=$!
  for _ in $(seq 50); do curl -s -o /dev/null "$inst_base/" && return 0; sleep 0.1; done
  return 1
}
inst_check "local update server $inst_base: firmware 2.0.0.0 for the player, nothing new for the launcher" inst_publish
wine reg delete "$inst_key\\Auto Update Client" /f </dev/null >/dev/null 2>&1 || true
wine reg add "$inst_key\\Auto Update Client" /v _Dbg_Info_ /d "$inst_base/" /f </dev/null >/dev/null 2>&1 || true
inst_quenta_win="$inst_prog_win\\UpdateChecker\\Quenta.exe"
inst_ready=$inst_work/ready inst_done=$inst_work/done
# The launcher's own command line for a check the user asks for (Update button), without the
# jukebox service.
inst_run "$BUILD/bin/quenta_demo_driver.exe" "$(winepath -w "$inst_ready" 2>/dev/null)" \
  "$(winepath -w "$inst_done" 2>/dev/null)" "$inst_quenta_win" \
  /M MANUAL /C PA001 /S VLFW /N QX-B417 /E 0.00 /F UPDATE /C PP001 /S TVK /N "Velomar Launcher" /E 2.1.0 /F UPDATE \
  > "$inst_work/driver.txt" &
inst_driver=$!
inst_shots=0 inst_kinds=
while kill -0 "$inst_driver" 2>/dev/null; do
  if [ -s "$inst_ready.$((inst_shots + 1))" ]; then
    inst_shots=$((inst_shots + 1))
    read -r l t r b kind < <(tr -d '\r' < "$inst_ready.$inst_shots")
    x=$(( l > 12 ? l - 12 : 0 )); y=$(( t > 12 ? t - 12 : 0 )); w=$(( r + 12 - x )); h=$(( b + 12 - y ))
    (( x + w > 1024 )) && w=$(( 1024 - x )); (( y + h > 768 )) && h=$(( 768 - y ))
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$DEMO_OUT/installed-quenta-$inst_shots.png" 2>/dev/null || true
    inst_kinds+="${inst_kinds:+, }$kind"
    echo "       window $inst_shots of the installed Quenta ($kind) answered with OK; screenshot: $DEMO_OUT/installed-quenta-$inst_shots.png"
    touch "$inst_done.$inst_shots"
  fi
  sleep 0.1
done
inst_check "the INSTALLED UpdateChecker\\Quenta.exe ran the check and ended (windows answered: ${inst_kinds:-none})" \
  wait "$inst_driver"
[ "$inst_shots" -gt 0 ] || inst_result FAIL "no window of the update client was seen"
kill "${inst_server:-}" 2>/dev/null || true
inst_fw=$(inst_run "$BUILD/bin/drenloxctl.exe" show | tr -d '\r' | awk '$1 == "FirmwareVersion" {print $2}')
inst_status=$(inst_value "$inst_key\\Auto Update Client\\QXB417FW\\DEMO0123456789" LastUpdateStatus)
inst_check "firmware downloaded and written: the player now reports $inst_fw" [ "$inst_fw" = 2.0.0.0 ]
inst_check "LastUpdateStatus of the player is \"$inst_status\"" [ "$inst_status" = 00 ]
unset DRENLOX_PLAYER_STATE
wine reg delete "$inst_key\\Auto Update Client" /f </dev/null >/dev/null 2>&1 || true

# 5. The package removed.
inst_msiexec /x
cp -f "$inst_work/msiexec.log" "$DEMO_OUT/installed-msiexec-uninstall.log"
inst_check "msiexec /x Velomar.msi /qn ended with exit code $inst_msi_rc" [ "$inst_msi_rc" -eq 0 ]
inst_check "program folder gone" [ ! -e "$inst_prog" ]
inst_check "product key gone" eval '! inst_key_exists "$inst_key"'
inst_com_gone() {
  local c
  for c in $inst_clsids; do inst_key_exists "HKCR\\CLSID\\$c" && { echo "       still there: $c"; return 1; }; done
  return 0
}
inst_check "COM registration gone" inst_com_gone
inst_check "data folder with the user's settings kept" [ -f "$inst_data/TOLVIKSetting.xml" ]
rm -rf "$inst_work"

echo "installed product, summary:"
printf '%s' "$inst_summary"
if [ "$inst_failed" -ne 0 ]; then
  echo "60-installed: FAILED: $inst_failed of $inst_n steps did not do what they should" >&2
  exit 1
fi
echo "installed product: all $inst_n steps did what they should (simulated: the player's drive and INQUIRY, the firmware library, the update server)"
