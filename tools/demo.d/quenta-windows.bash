# Photographs the update client's windows while quenta_demo_driver answers them. Sourced by the
# demo steps that run the client (not a step itself).
#
#   demo_quenta_windows DRIVER_PID READY_PREFIX DONE_PREFIX SHOT_PREFIX
# Until the driver ends: for each window N the driver announces in READY_PREFIX.N
# ("left top right bottom kind"), the screen around it goes to SHOT_PREFIX-N.png, then
# DONE_PREFIX.N lets the driver press OK (progress windows are not pressed; their shot is
# taken 2.5 s after they open). Sets demo_quenta_shots (how many) and demo_quenta_kinds
# (their kinds, comma separated).
demo_quenta_windows() {
  local driver=$1 ready=$2 done=$3 shot=$4 l t r b kind x y w h
  demo_quenta_shots=0 demo_quenta_kinds=
  while kill -0 "$driver" 2>/dev/null || [ -s "$ready.$((demo_quenta_shots + 1))" ]; do
    if [ -s "$ready.$((demo_quenta_shots + 1))" ]; then
      demo_quenta_shots=$((demo_quenta_shots + 1))
      read -r l t r b kind < <(tr -d '\r' < "$ready.$demo_quenta_shots")
      x=$(( l > 12 ? l - 12 : 0 )); y=$(( t > 12 ? t - 12 : 0 )); w=$(( r + 12 - x )); h=$(( b + 12 - y ))
      (( x + w > 1024 )) && w=$(( 1024 - x )); (( y + h > 768 )) && h=$(( 768 - y ))
      # A progress window is photographed once it has moved on a little.
      [ "$kind" = progress ] && sleep 2.5
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot-$demo_quenta_shots.png" 2>/dev/null || true
      demo_quenta_kinds+="${demo_quenta_kinds:+, }$kind"
      echo "       window $demo_quenta_shots ($kind): $shot-$demo_quenta_shots.png"
      touch "$done.$demo_quenta_shots"
    fi
    sleep 0.1
  done
}
