#!/bin/bash
# Creates a private 64-bit Wine prefix ready for the tests: no crash dialogs, a virtual
# desktop so windows get frames, and fonts that carry Japanese text.
set -eu
prefix=$1
[ -f "$prefix/.zep-ready" ] && exit 0
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$prefix"
wine wineboot -i </dev/null >/dev/null 2>&1
fonts="$prefix/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp -f /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
cp -f /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/fonts-japanese-gothic.ttf "$fonts/" 2>/dev/null || true
reg=$(mktemp --suffix=.reg)
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="MS UI Gothic"
"MS Shell Dlg 2"="MS UI Gothic"
REG
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
rm -f "$reg"
wineserver -w
touch "$prefix/.zep-ready"
