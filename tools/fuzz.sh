#!/bin/bash
# tools/fuzz.sh BUILD [SEED]
# Mutation run over the readers of untrusted files, in-process under Wine: update information
# files through the loader and the evaluation, their signature files through the signature
# check (an accepted signature must be the one that was made), settings files through the settings
# store's load and save, log configurations through the .log.xml reader, and a hostile HTTP server
# on the loopback interface against the downloader and whole update information checks. Inputs are
# made from a seed, so the same SEED gives the same run. A crash or a hang ends the driver; it is
# counted, its input kept in BUILD/fuzz/findings, and the driver started again at the next input.
# Input counts: FUZZ_INFO_INPUTS (100000), FUZZ_SETTINGS_INPUTS (10000), FUZZ_LOGCONFIG_INPUTS (10000),
# FUZZ_INFOSIG_INPUTS (20000), FUZZ_HTTP_INPUTS (10000 exchanges).
set -u
if [ $# -lt 1 ]; then echo "usage: tools/fuzz.sh BUILD [SEED]" >&2; exit 2; fi
build=$(cd "$1" && pwd)
seed=${2:-1}
root=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${ZEP_WINE_ENV_ACTIVE:-}" ]; then
  cmake --build "$build" --target fuzz_driver zepinfo -- -j2 >/dev/null || { echo "fuzz: build failed" >&2; exit 2; }
  exec "$root/tools/with-wine-env.sh" "$build" "$0" "$@"
fi

out=$build/fuzz
rm -rf "$out"
mkdir -p "$out/corpus/info" "$out/corpus/settings" "$out/corpus/logconfig" "$out/corpus/infosig" "$out/corpus/http" "$out/work" "$out/findings" "$out/publish"
driver=$build/bin/fuzz_driver.exe
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Seeds: information files written by zepinfo publish (each digest kind), settings files
# including the installer's template, log configurations.
digests=(sha1 md5 none)
i=0
for body in "$root/update/info/examples/firmware-body.xml" "$root"/tools/fuzz/seeds/info/*.xml; do
  name=$(basename "$body" .xml)
  digest=${digests[$((i % 3))]}
  if ! wine "$build/bin/zepinfo.exe" publish --service fuzz-fw --category Velomar --digest "$digest" \
      --key "$(winpath "$build/keys/update-signing-dev.pem")" \
      "$(winpath "$body")" "$(winpath "$out/publish/$name")" >"$out/publish/$name.txt" 2>&1 </dev/null; then
    echo "fuzz: zepinfo publish refused $body:" >&2; cat "$out/publish/$name.txt" >&2; exit 2
  fi
  cp "$out/publish/$name/Velomar/fuzz-fw/info/info.xml" "$out/corpus/info/$name-$digest.info"
  cp "$out/publish/$name/Velomar/fuzz-fw/info/info.xml" "$out/corpus/infosig/$name-$digest.info"
  cp "$out/publish/$name/Velomar/fuzz-fw/info/info.xml.sig" "$out/corpus/infosig/$name-$digest.sig"
  i=$((i + 1))
done
cp "$root"/tools/fuzz/seeds/settings/*.xml "$root/launcher/settings/TOLVIKSetting.template.xml" "$out/corpus/settings/"
cp "$root"/tools/fuzz/seeds/logconfig/*.log.xml "$out/corpus/logconfig/"
# The hostile server serves the same information files (signed again for its own service).
cp "$out"/corpus/info/*.info "$out/corpus/http/"

declare -A counts=([info]=${FUZZ_INFO_INPUTS:-100000} [settings]=${FUZZ_SETTINGS_INPUTS:-10000}
                   [logconfig]=${FUZZ_LOGCONFIG_INPUTS:-10000} [infosig]=${FUZZ_INFOSIG_INPUTS:-20000}
                   [http]=${FUZZ_HTTP_INPUTS:-10000})
kinds=(info settings logconfig infosig http)
lanes=${FUZZ_JOBS:-2}

# Runs inputs [first, end) of a kind, starting the driver again after each crash or hang.
# Writes "crashes hangs" to the lane's tally file.
run_slice() {
  local kind=$1 lane=$2 first=$3 end=$4 rc idx what crashes=0 hangs=0
  local work=$out/work/$kind-$lane
  mkdir -p "$work"
  while [ "$first" -lt "$end" ]; do
    rm -f "$work/$kind.progress"
    wine "$driver" --kind "$kind" --seed "$seed" --first "$first" --count $((end - first)) \
      --corpus "$(winpath "$out/corpus/$kind")" --work "$(winpath "$work")" \
      --findings "$(winpath "$out/findings")" >>"$out/$kind-$lane.out" 2>"$work/stderr" </dev/null
    rc=$?
    [ $rc -eq 0 ] && break
    if [ $rc -eq 2 ] || [ $rc -eq 4 ] || [ ! -s "$work/$kind.progress" ]; then
      echo "fuzz: the $kind driver did not start (exit code $rc):" >&2; cat "$work/stderr" >&2
      echo "failed" >"$work/tally"; return
    fi
    idx=$(tr -d ' \r\n' <"$work/$kind.progress")
    if [ $rc -eq 75 ]; then what=hang; hangs=$((hangs + 1)); else what=crash; crashes=$((crashes + 1)); fi
    wine "$driver" --kind "$kind" --seed "$seed" --write-input "$idx" --corpus "$(winpath "$out/corpus/$kind")" \
      --work "$(winpath "$work")" --out "$(winpath "$out/findings/$kind-$idx-$what.bin")" >/dev/null 2>&1 </dev/null
    echo "$what $idx exit=$rc $(tail -n 2 "$work/stderr" | tr "\n" " ")" >>"$out/findings/$kind.log"
    first=$((idx + 1))
  done
  echo "$crashes $hangs" >"$work/tally"
}

# Each lane takes its share of every kind, one kind after the other; the lanes run side by side.
run_lane() {
  local lane=$1 kind total
  for kind in "${kinds[@]}"; do
    total=${counts[$kind]}
    local began=$(date +%s)
    run_slice "$kind" "$lane" $((total * lane / lanes)) $((total * (lane + 1) / lanes))
    echo $(($(date +%s) - began)) >"$out/work/$kind-$lane/seconds"
  done
}

began=$(date +%s)
for ((lane = 0; lane < lanes; ++lane)); do run_lane "$lane" & done
wait

# Results of each call, summed over the driver processes of a kind.
awk '$1 == "result" { k = $2; for (i = 4; i <= NF; ++i) k = k " " $i; n[k] += $3 }
     END { for (k in n) printf "  %-50s %d\n", k, n[k] }' "$out"/*.out | sort
awk '$1 == "done" { printf "  %s %s: %s ms (making inputs %s ms), slowest", $2, $3, $7, $9; for (i = 11; i <= NF; ++i) printf " %s", $i; print "" }' \
  "$out"/*.out
[ -n "$(ls "$out/findings"/*.log 2>/dev/null)" ] && echo "findings: $out/findings"
N=0 C=0 H=0 U=0 failed=0
for kind in "${kinds[@]}"; do
  c=0 h=0 secs=0
  for ((lane = 0; lane < lanes; ++lane)); do
    read -r lc lh <"$out/work/$kind-$lane/tally" || true
    if [ "$lc" = "failed" ]; then failed=1; continue; fi
    c=$((c + lc)); h=$((h + lh))
    ls=$(cat "$out/work/$kind-$lane/seconds"); [ "$ls" -gt "$secs" ] && secs=$ls
  done
  u=$(awk '$1 == "undocumented" { print $2 }' "$out/findings/$kind.log" 2>/dev/null | sort -u | wc -l)
  echo "$kind: ${counts[$kind]} inputs, $c crashes, $h hangs, $u undocumented results ($secs s)"
  # Wrong results that the checks after the API refuse, as the system relies on them to.
  awk -v k="$kind" '$1 == "caught" && $2 == k { w = $4; for (i = 5; i <= NF; ++i) w = w " " $i; n[w] += $3 }
       END { for (w in n) printf "  %s: %d %s\n", k, n[w], w }' "$out"/*.out | sort
  N=$((N + counts[$kind])); C=$((C + c)); H=$((H + h)); U=$((U + u))
done
echo "  wall time $(($(date +%s) - began)) s in $lanes lanes"
[ $failed -eq 0 ] || { echo "fuzz: a driver failed to start; the figures are incomplete" >&2; exit 2; }
echo "fuzz: $N inputs, $C crashes, $H hangs, $U undocumented results"
