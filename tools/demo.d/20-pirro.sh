# Device watcher: a player is plugged in, Pirro recognises it and starts the launcher with
# the drive letter. Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
#
# Removable drives under Wine: a drive letter defined through Wine's mount manager
# (PirroCtl mount, IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE) reports DRIVE_REMOVABLE at once; a bare
# dosdevices symlink reports DRIVE_FIXED, and HKLM\Software\Wine\Drives is only read when
# the prefix starts.

pirro_run() { "$REPO/tools/wine-run.sh" "$@" </dev/null; }
pirro_fail() {
  echo "20-pirro: FAILED: $*" >&2
  [ -n "${pirro_pid:-}" ] && { pirro_run "$pirro_bin/PirroCtl.exe" close >/dev/null 2>&1; kill "$pirro_pid" 2>/dev/null; }
  exit 1
}

pirro_bin=$BUILD/bin
pirro_install_win='C:\VelomarDemo\Pirro'
pirro_install=$WINEPREFIX/drive_c/VelomarDemo/Pirro
# With the launcher built, Pirro starts the real Tolvik, whose Music button then starts the
# stand-in with the drive letter (Tolvik puts its command line in place of "%s").
pirro_tolvik=
if [ -f "$BUILD/bin/Tolvik.exe" ] && [ -z "${PIRRO_DEMO_LAUNCHER_WIN:-}" ]; then
  . "$REPO/tools/demo.d/tolvik-install.bash"
  PIRRO_DEMO_LAUNCHER_WIN=$TOLVIK_DEMO_EXE_WIN
  pirro_tolvik=1
fi
# The program Pirro starts for the player. A stand-in that records its command line; the
# real launcher can take its place here.
PIRRO_DEMO_LAUNCHER_WIN=${PIRRO_DEMO_LAUNCHER_WIN:-'C:\VelomarDemo\TolvikStandIn\TolvikStandIn.exe'}
pirro_launcher_dir=$WINEPREFIX/drive_c/VelomarDemo/TolvikStandIn
pirro_record=$pirro_launcher_dir/TolvikStandIn.record.txt
pirro_letter=E
pirro_vid=1a2b pirro_pid_id=3c4d pirro_serial=DEMO0123456789

mkdir -p "$pirro_install" "$pirro_launcher_dir" "$DEMO_OUT/player-drive"
cp -f "$pirro_bin/PirroEmu.exe" "$pirro_install/PirroEmu.exe"
cp -f "$pirro_bin/RecordArgs.exe" "$pirro_launcher_dir/TolvikStandIn.exe"
rm -f "$pirro_record"

# The player: a removable drive E: ...
pirro_drive_win=$(winepath -w "$DEMO_OUT/player-drive" 2>/dev/null)
pirro_run "$pirro_bin/PirroCtl.exe" unmount "$pirro_letter" >/dev/null 2>&1 || true
pirro_run "$pirro_bin/PirroCtl.exe" mount "$pirro_letter" "$pirro_drive_win" removable || pirro_fail "cannot define drive $pirro_letter:"
# ... behind a USB device with the maker's ids, listed as supported ...
pirro_run "$pirro_bin/PirroCtl.exe" fixture "$pirro_letter" "$pirro_vid" "$pirro_pid_id" "$pirro_serial" || pirro_fail "cannot write the device registry"
# ... that answers INQUIRY as a player (PirroEmu's executor reads this instead of the device).
pirro_run "$pirro_bin/PirroCtl.exe" inquiry "$pirro_letter" Orvo KOVRAHD1 > "$pirro_install/PirroEmu.inquiry.txt" || pirro_fail "cannot build the INQUIRY answer"
wine reg add 'HKLM\SOFTWARE\Orvo Corporation\Velomar Launcher\TOLVIK' /v InstalledPath /t REG_SZ /d "$PIRRO_DEMO_LAUNCHER_WIN" /f >/dev/null 2>&1 </dev/null || pirro_fail "cannot write InstalledPath"
wine reg add 'HKCU\Software\Orvo Corporation\Velomar Launcher' /v AutoLaunch /t REG_DWORD /d 1 /f >/dev/null 2>&1 </dev/null || pirro_fail "cannot write AutoLaunch"
if [ -n "$pirro_tolvik" ]; then
  tolvik_demo_install 'C:\VelomarDemo\TolvikStandIn' TolvikStandIn.exe '%s' || pirro_fail "cannot install Tolvik"
fi

pirro_run "$pirro_install/PirroEmu.exe" &
pirro_pid=$!
pirro_run "$pirro_bin/PirroCtl.exe" wait 15000 || pirro_fail "Pirro did not start"
echo "Pirro is running (hidden)"

# The system announces drives C: (fixed, ignored) and E: (the player).
pirro_run "$pirro_bin/PirroCtl.exe" arrive "C$pirro_letter" || pirro_fail "device arrival not delivered"
if [ -n "$pirro_tolvik" ]; then
  tolvik_demo_driver wait 30 || pirro_fail "Tolvik did not appear"
  echo "Pirro started Tolvik; pressing its Music button"
  tolvik_demo_driver command 1000 || pirro_fail "Tolvik's Music button not pressed"
fi
for _ in $(seq 150); do [ -s "$pirro_record" ] && break; sleep 0.1; done
[ -s "$pirro_record" ] || pirro_fail "the launcher was not started"
pirro_args=$(head -n1 "$pirro_record" | cut -f3 | tr -d '\r')
echo "launcher started with argument: $pirro_args"
[ "$pirro_args" = "$pirro_letter" ] || pirro_fail "expected argument $pirro_letter, got '$pirro_args'"
[ "$(wc -l < "$pirro_record")" -eq 1 ] || pirro_fail "the launcher was started more than once"
if [ -n "$pirro_tolvik" ]; then
  tolvik_demo_driver close 15 || pirro_fail "Tolvik did not close"
fi

pirro_answer=$(pirro_run "$pirro_bin/PirroCtl.exe" autoplay "$pirro_letter:\\" | tr -d '\r') || pirro_fail "no AutoPlay handler in the running object table"
echo "AutoPlay for $pirro_letter:\\ answered: $pirro_answer (refused once)"
[ "$pirro_answer" = "S_FALSE" ] || pirro_fail "AutoPlay was not refused"
pirro_answer=$(pirro_run "$pirro_bin/PirroCtl.exe" autoplay "$pirro_letter:\\" | tr -d '\r')
echo "AutoPlay for $pirro_letter:\\ asked again: $pirro_answer"
[ "$pirro_answer" = "S_OK" ] || pirro_fail "AutoPlay refused twice"

pirro_run "$pirro_bin/PirroCtl.exe" close || pirro_fail "close broadcast failed"
pirro_run "$pirro_bin/PirroCtl.exe" gone 10000 || pirro_fail "Pirro did not close"
wait "$pirro_pid" || pirro_fail "Pirro ended with an error"
pirro_pid=
echo "Pirro closed on the launcher's close message"
cp -f "$pirro_record" "$DEMO_OUT/pirro-launcher-record.txt"
pirro_run "$pirro_bin/PirroCtl.exe" unmount "$pirro_letter" >/dev/null 2>&1 || true
