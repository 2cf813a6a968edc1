# The launcher's settings dialog: the first run (mandatory, both pages), then the Setting button
# with a program of the user's own chosen through the file dialog and started by Music.
# Screenshots: settings-first-run-apps.png, settings-first-run-update.png, settings-custom.png.
# Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
. "$REPO/tools/demo.d/tolvik-install.bash"

settings_fail() {
  echo "35-settings: FAILED: $*" >&2
  [ -n "${settings_pid:-}" ] && { tolvik_demo_driver close 10 >/dev/null 2>&1; kill "$settings_pid" 2>/dev/null; }
  exit 1
}
settings_shot() {
  sleep 1.5  # let the controls finish painting
  import -window root -crop 1024x768+0+0 +repage "$DEMO_OUT/$1" || settings_fail "screenshot $1"
  echo "screenshot: $DEMO_OUT/$1"
}

tolvik_demo_install "$TOLVIK_DEMO_TOOLS_WIN" recorder.exe '/drive %s' || settings_fail "installation"
# The podcast program is not installed here, so the first run offers nothing for it.
tolvik_demo_reg_import <<'REG' || settings_fail "registry"
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Orvo Corporation\Velomar Launcher\TOLVIK\Podcast]
"exe"="podcaster.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Orvo Corporation\Velomar Launcher\TOLVIK\Podcast\Recorder]
"exe"="podcaster.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Orvo Corporation\Velomar Launcher\TOLVIK\Podcast\Custom]
"name"="Custom"
"errormsg"="選択したプログラムが見つかりません。"
REG
settings_file="$WINEPREFIX/drive_c/ProgramData/Orvo Corporation/Velomar Launcher/TOLVIKSetting.xml"
sed -i 's|<first_exec>false</first_exec>|<first_exec>true</first_exec>|' "$settings_file"

# A program of the user's own, deep enough that its path has to be shortened in the list.
custom_dir_win='C:\Program Files\Velomar\Demo\My Own Programs\A Music Player Of My Choice'
custom_dir="$tolvik_demo_tools/My Own Programs/A Music Player Of My Choice"
mkdir -p "$custom_dir"
cp -f "$BUILD/bin/tolvik_arg_recorder.exe" "$custom_dir/player.exe"
rm -f "$custom_dir/player.exe.txt"

tolvik_demo_run "$TOLVIK_DEMO_EXE_WIN" F: &
settings_pid=$!
tolvik_demo_driver settings-wait 30 || settings_fail "the first-run settings dialog did not appear"
tolvik_demo_driver settings-dropdown 1009 1 || settings_fail "podcast list not opened"
settings_shot settings-first-run-apps.png
tolvik_demo_driver settings-dropdown 1009 0 || settings_fail "podcast list not closed"
tolvik_demo_driver settings-tab 1 || settings_fail "update page not selected"
settings_shot settings-first-run-update.png

tolvik_demo_driver settings-command 2 || settings_fail "Cancel not sent"
sleep 1
tolvik_demo_driver settings-wait 1 || settings_fail "the first-run dialog went away on Cancel"
tolvik_demo_driver settings-command 1 || settings_fail "OK not pressed"
sleep 1
grep -q '<first_exec>false</first_exec>' "$settings_file" || settings_fail "first_exec not stored as false"
grep -q '<name>Not Selected</name>' "$settings_file" || settings_fail "the missing podcast program not stored as Not Selected"
echo "first run confirmed: first_exec false, podcast Not Selected"

# The Setting button; Music's last item is the custom one.
tolvik_demo_driver command 1006 || settings_fail "Setting not pressed"
tolvik_demo_driver settings-wait 10 || settings_fail "the settings dialog did not appear"
tolvik_demo_driver settings-pick 1006 3 || settings_fail "custom item not picked"
tolvik_demo_driver file-dialog 15 "$custom_dir_win\\player.exe" || settings_fail "the file dialog did not appear"
settings_shot settings-custom.png
tolvik_demo_driver settings-command 1 || settings_fail "OK not pressed"
sleep 1
grep -q '<name>Custom</name>' "$settings_file" || settings_fail "the custom program was not stored"
grep -qF "<exe>player.exe</exe>" "$settings_file" || settings_fail "the custom program's file not stored"

tolvik_demo_driver command 1000 || settings_fail "Music not pressed"
for _ in $(seq 100); do [ -s "$custom_dir/player.exe.txt" ] && break; sleep 0.1; done
[ -s "$custom_dir/player.exe.txt" ] || settings_fail "the custom music program was not started"
echo "Music started the custom program: $(head -n1 "$custom_dir/player.exe.txt" | tr -d '\r')"

tolvik_demo_driver close 15 || settings_fail "the launcher did not close"
wait "$settings_pid" || settings_fail "the launcher ended with an error"
settings_pid=
echo "settings demo finished"
