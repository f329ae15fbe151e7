#!/usr/bin/env bash
# Installs every Debian package that building, running and testing lanfeng needs.
# Safe to run again: packages already present are not touched.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
  zlib1g-dev liblzma-dev
  libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libavformat-dev
  libx11-dev
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei fonts-liberation2 fonts-noto-core
  ffmpeg pulseaudio pulseaudio-utils
  python3 python3-pil python3-numpy
  xdg-utils libfile-mimeinfo-perl shared-mime-info xcompmgr lintian
)

# `install-deps.sh fuzz`: also clang and its libFuzzer and sanitizer runtimes.
[ "${1:-}" = fuzz ] && packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
