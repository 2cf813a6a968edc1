#!/bin/bash
# Installs every package the build and the tests need (Debian 12, as root), then
# configures and builds into BUILD (default: build/).
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools googletest libboost-dev libwine-dev
      wine wine64 xvfb xauth fonts-ipafont-gothic fonts-wine fonts-liberation wixl msitools
      imagemagick x11-apps nginx curl python3 ca-certificates openssl osslsigncode"
missing=$(dpkg-query -W -f='${Package} ${Status}\n' $pkgs 2>/dev/null | grep -v ' installed$' | cut -d' ' -f1 || true)
if [ -n "$missing" ] || ! dpkg-query -W $pkgs >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $pkgs >/dev/null
fi
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build"
