# Update information: publish the example firmware body for the update server, signed with the
# build's development key, and check it with the client's own signature check, loader and
# evaluation. Sourced by tools/demo.sh (REPO, BUILD, DEMO_OUT set,
# Wine environment up). The published tree is in $DEMO_OUT/update-server.
zepinfo() { "$REPO/tools/wine-run.sh" "$BUILD/bin/zepinfo.exe" "$@" </dev/null; }
info_out=$DEMO_OUT/update-server
info_file=$info_out/Velomar/vm-q3-fw/info/info.xml
rm -rf "$info_out"
zepinfo publish --service vm-q3-fw --category Velomar --key "$(winepath -w "$BUILD/keys/update-signing-dev.pem" 2>/dev/null)" \
  "$REPO/update/info/examples/firmware-body.xml" "$info_out" \
  || { echo "30-update-info: FAILED: publish" >&2; exit 1; }
zepinfo verify --service vm-q3-fw --category Velomar "$info_file" \
  || { echo "30-update-info: FAILED: verify" >&2; exit 1; }
set +e
zepinfo evaluate --service vm-q3-fw --category Velomar --model VM-Q3 --current-version 2.0 "$info_file"
info_rc=$?
set -e
[ "$info_rc" -eq 0 ] || { echo "30-update-info: FAILED: no update offered for firmware 2.0 (exit $info_rc)" >&2; exit 1; }
[ -s "$info_file.sig" ] || { echo "30-update-info: FAILED: no signature beside $info_file" >&2; exit 1; }
echo "30-update-info: published, signed and verified $info_file"
