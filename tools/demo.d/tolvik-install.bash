# Installs the launcher Tolvik into the demo prefix, with the registry an installer would write
# and a settings file past its first run. Sourced by the demo steps that start Tolvik (not a step
# itself: demo.sh runs only *.sh). Needs REPO, BUILD and the Wine environment.
#
#   tolvik_demo_install MUSIC_FOLDER_WIN MUSIC_EXE MUSIC_PARAM
# MUSIC_*: where the Music button's program lives (a harmless recorder in the demo).

TOLVIK_DEMO_DIR_WIN='C:\Program Files\Velomar\Tolvik'
TOLVIK_DEMO_EXE_WIN='C:\Program Files\Velomar\Tolvik\Tolvik.exe'
TOLVIK_DEMO_TOOLS_WIN='C:\Program Files\Velomar\Demo'
tolvik_demo_dir=$WINEPREFIX/drive_c/Program\ Files/Velomar/Tolvik
tolvik_demo_tools=$WINEPREFIX/drive_c/Program\ Files/Velomar/Demo

# A .reg text (UTF-8 here) imported as UTF-16LE so the Japanese texts arrive intact.
tolvik_demo_reg_import() {
  local reg
  reg=$(mktemp --suffix=.reg)
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } > "$reg"
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
  local rc=$?
  rm -f "$reg"
  return $rc
}

# Doubles backslashes for a .reg string.
tolvik_demo_reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

tolvik_demo_install() {
  local music_dir music_exe music_param tools product
  music_dir=$(tolvik_demo_reg_escape "$1"); music_exe=$2; music_param=$3
  tools=$(tolvik_demo_reg_escape "$TOLVIK_DEMO_TOOLS_WIN")
  product='HKEY_LOCAL_MACHINE\SOFTWARE\Orvo Corporation\Velomar Launcher'

  mkdir -p "$tolvik_demo_dir" "$tolvik_demo_tools"
  cp -f "$BUILD/bin/Tolvik.exe" "$tolvik_demo_dir/Tolvik.exe"
  cp -f "$BUILD/bin/tolvik_arg_recorder.exe" "$tolvik_demo_tools/recorder.exe"
  cp -f "$BUILD/bin/tolvik_arg_recorder.exe" "$tolvik_demo_tools/download.exe"
  rm -f "$tolvik_demo_tools"/*.txt

  # Every kind has a default program and candidates that exist in any Wine prefix; nothing
  # here needs the network (Download starts a local program, the automatic update check is off).
  tolvik_demo_reg_import <<REG || return 1
Windows Registry Editor Version 5.00

[-$product\\TOLVIK]

[$product\\TOLVIK]
"InstalledPath"="$(tolvik_demo_reg_escape "$TOLVIK_DEMO_EXE_WIN")"
"Description"="Velomar プレーヤーで楽しむソフトウェアを起動します。\\\\r\\\\nボタンにマウスを合わせると、それぞれの説明が表示されます。"

[$product\\TOLVIK\\Music]
"Caption"="ミュージック"
"Description"="音楽を聴いたり、プレーヤーに転送したりするソフトウェアを起動します。"
"name"="Velomar Music Recorder"
"errormsg"="ミュージック用のソフトウェアが見つかりません。\\\\n［設定］で選択してください。"
"path"="$music_dir"
"exe"="$music_exe"
"param"="$music_param"

[$product\\TOLVIK\\Music\\Recorder]
"name"="Velomar Music Recorder"
"errormsg"="ミュージック用のソフトウェアが見つかりません。"
"path"="$music_dir"
"exe"="$music_exe"
"param"="$music_param"

[$product\\TOLVIK\\Music\\Notepad]
"name"="メモ帳"
"errormsg"="メモ帳が見つかりません。"
"path"="C:\\\\windows"
"exe"="notepad.exe"

[$product\\TOLVIK\\Music\\Custom]
"name"="Custom"
"errormsg"="選択したプログラムが見つかりません。"

[$product\\TOLVIK\\Photo]
"Caption"="フォト"
"Description"="写真を整理して、プレーヤーで見られるようにします。"
"name"="メモ帳"
"errormsg"="フォト用のソフトウェアが見つかりません。"
"path"="C:\\\\windows"
"exe"="notepad.exe"

[$product\\TOLVIK\\Photo\\Notepad]
"name"="メモ帳"
"errormsg"="メモ帳が見つかりません。"
"path"="C:\\\\windows"
"exe"="notepad.exe"

[$product\\TOLVIK\\Video]
"Caption"="ビデオ"
"Description"="ビデオをプレーヤー向けに変換して転送します。"
"name"="Wine 設定"
"errormsg"="ビデオ用のソフトウェアが見つかりません。"
"key"="Microsoft\\\\Windows NT\\\\CurrentVersion"
"entry"="SystemRoot"
"exe"="system32\\\\winecfg.exe"

[$product\\TOLVIK\\Video\\Winecfg]
"name"="Wine 設定"
"errormsg"="Wine 設定が見つかりません。"
"key"="Microsoft\\\\Windows NT\\\\CurrentVersion"
"entry"="SystemRoot"
"exe"="system32\\\\winecfg.exe"

[$product\\TOLVIK\\Podcast]
"Caption"="ポッドキャスト"
"Description"="ポッドキャストを購読して、新しいエピソードをプレーヤーに転送します。"
"name"="Velomar Podcast Recorder"
"errormsg"="ポッドキャスト用のソフトウェアが見つかりません。"
"path"="$tools"
"exe"="recorder.exe"
"param"="/podcast %s"

[$product\\TOLVIK\\Podcast\\Recorder]
"name"="Velomar Podcast Recorder"
"errormsg"="ポッドキャスト用のソフトウェアが見つかりません。"
"path"="$tools"
"exe"="recorder.exe"
"param"="/podcast %s"

[$product\\TOLVIK\\Download]
"Caption"="ダウンロード"
"Description"="プレーヤーで楽しめるコンテンツを探して、ダウンロードします。"
"ErrorMsg"="ダウンロード用のソフトウェアが見つかりません。"
"Path"="$tools"
"Exe"="download.exe"
"Param"="/download %s"

[$product\\TOLVIK\\Auto]
"Caption"="プレーヤーを接続したときに Velomar Launcher を起動しない"

[$product\\TOLVIK\\Update]
"UpdateStart"=hex:00

[$product\\Version]
@="2.1.0.00300"
REG

  # The settings file as it is after the first run: every kind on its registry default.
  local data="$WINEPREFIX/drive_c/ProgramData/Orvo Corporation/Velomar Launcher"
  mkdir -p "$data"
  local kind kinds=""
  for kind in music photo video podcast; do
    kinds="$kinds    <$kind>\r\n      <name></name>\r\n      <errormsg></errormsg>\r\n      <path></path>\r\n      <key></key>\r\n      <entry></entry>\r\n      <exe></exe>\r\n      <param></param>\r\n    </$kind>\r\n"
  done
  printf '<?xml version="1.0" encoding="utf-8"?>\r\n<velomar_launcher>\r\n  <pirro></pirro>\r\n  <tolvik>\r\n    <first_exec>false</first_exec>\r\n'"$kinds"'  </tolvik>\r\n</velomar_launcher>' \
    > "$data/TOLVIKSetting.xml"
}

tolvik_demo_run() { "$REPO/tools/wine-run.sh" "$@" </dev/null; }
tolvik_demo_driver() { tolvik_demo_run "$BUILD/bin/tolvik_driver.exe" "$@"; }
