# The launcher Tolvik: installed with the registry an installer writes, started for a player
# on F:, shown (screenshot), one content button and Download pressed, then closed. Sourced by
# tools/demo.sh (REPO, BUILD, DEMO_OUT set, Wine environment up).
. "$REPO/tools/demo.d/tolvik-install.bash"

tolvik_fail() {
  echo "30-tolvik: FAILED: $*" >&2
  [ -n "${tolvik_pid:-}" ] && { tolvik_demo_driver close 10 >/dev/null 2>&1; kill "$tolvik_pid" 2>/dev/null; }
  exit 1
}

tolvik_demo_install "$TOLVIK_DEMO_TOOLS_WIN" recorder.exe '/drive %s' || tolvik_fail "installation"
echo "Tolvik installed in $TOLVIK_DEMO_EXE_WIN"

tolvik_demo_run "$TOLVIK_DEMO_EXE_WIN" F: &
tolvik_pid=$!
tolvik_demo_driver wait 30 || tolvik_fail "the launcher window did not appear"
sleep 2  # let every control finish painting
import -window root -crop 1024x768+0+0 +repage "$DEMO_OUT/tolvik.png" || tolvik_fail "screenshot"
echo "screenshot: $DEMO_OUT/tolvik.png"

# Music: the recorder stands in for the music program and keeps its command line.
tolvik_demo_driver command 1000 || tolvik_fail "Music not pressed"
for _ in $(seq 100); do [ -s "$tolvik_demo_tools/recorder.exe.txt" ] && break; sleep 0.1; done
[ -s "$tolvik_demo_tools/recorder.exe.txt" ] || tolvik_fail "the music program was not started"
tolvik_line=$(head -n1 "$tolvik_demo_tools/recorder.exe.txt" | tr -d '\r')
echo "Music started: $tolvik_line"
case "$tolvik_line" in *"/drive F:") ;; *) tolvik_fail "expected the parameters '/drive F:'" ;; esac

tolvik_demo_driver command 1003 || tolvik_fail "Download not pressed"
for _ in $(seq 100); do [ -s "$tolvik_demo_tools/download.exe.txt" ] && break; sleep 0.1; done
[ -s "$tolvik_demo_tools/download.exe.txt" ] || tolvik_fail "the download program was not started"
tolvik_line=$(head -n1 "$tolvik_demo_tools/download.exe.txt" | tr -d '\r')
echo "Download started: $tolvik_line"
case "$tolvik_line" in *"/download F:") ;; *) tolvik_fail "expected the parameters '/download F:'" ;; esac

tolvik_demo_driver close 15 || tolvik_fail "the launcher did not close"
wait "$tolvik_pid" || tolvik_fail "the launcher ended with an error"
tolvik_pid=
echo "Tolvik closed"
