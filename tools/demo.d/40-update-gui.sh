# The update windows: ZepGUI_Library installed beside the update client and registered, then
# each window shown through the component and photographed. Screenshots: gui-confirm-firmware.png,
# gui-confirm-software.png, gui-confirm-info.png, gui-download.png (with a remaining time),
# gui-update.png, gui-marquee.png, gui-error.png.
# Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
gui_dir=$WINEPREFIX/drive_c/Program\ Files/Velomar/Tolvik/UpdateChecker
gui_dll_win='C:\Program Files\Velomar\Tolvik\UpdateChecker\ZepGUI_Library.dll'
gui_fail() { echo "40-update-gui: FAILED: $*" >&2; exit 1; }

mkdir -p "$gui_dir"
cp -f "$BUILD/bin/ZepGUI_Library.dll" "$BUILD/bin/ZepGUI_LibraryRes.dll" "$gui_dir/"
wine regsvr32 /s "$gui_dll_win" </dev/null >/dev/null 2>&1 || gui_fail "registration"

gui_work=$(mktemp -d)
for window in confirm-firmware confirm-software confirm-info download update marquee error; do
  ready=$gui_work/$window.ready
  done_file=$gui_work/$window.done
  "$REPO/tools/wine-run.sh" "$BUILD/bin/zepgui_demo_driver.exe" "$window" \
    "$(winepath -w "$ready" 2>/dev/null)" "$(winepath -w "$done_file" 2>/dev/null)" &
  driver_pid=$!
  for _ in $(seq 300); do [ -s "$ready" ] && break; sleep 0.1; done
  [ -s "$ready" ] || { kill "$driver_pid" 2>/dev/null; gui_fail "the $window window did not appear"; }
  read -r left top right bottom < <(tr -d '\r' < "$ready")
  # The window with a margin of desktop around it, inside the 1024 x 768 desktop.
  x=$(( left > 12 ? left - 12 : 0 )); y=$(( top > 12 ? top - 12 : 0 ))
  w=$(( right + 12 - x )); h=$(( bottom + 12 - y ))
  (( x + w > 1024 )) && w=$(( 1024 - x )); (( y + h > 768 )) && h=$(( 768 - y ))
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$DEMO_OUT/gui-$window.png" \
    || { touch "$done_file"; gui_fail "screenshot of $window"; }
  touch "$done_file"
  wait "$driver_pid" || gui_fail "the $window window did not end as expected"
  echo "screenshot: $DEMO_OUT/gui-$window.png"
done
rm -rf "$gui_work"
wine regsvr32 /s /u "$gui_dll_win" </dev/null >/dev/null 2>&1 || gui_fail "unregistration"
echo "update windows demo finished"
