#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
# apt-get update runs only when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang
  libsdl2-dev libsdl2-mixer-dev
  liblua5.1-0-dev libluajit-5.1-dev  # LuaJIT runs scripts by default; REVEV_LUA=lua51 builds on the interpreter
  libpng-dev zlib1g-dev liblzo2-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  ffmpeg  # the command-line tool: tests make their video files with it
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dev libgl1-mesa-dri libegl-dev libegl-mesa0 libglu1-mesa-dev
  libclang-rt-14-dev
  sox imagemagick
  xvfb xdotool  # tests run real windows on their own X display and type into them
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
