#!/usr/bin/env bash
# Installs, on a fresh Debian machine, everything the build, the tests and the demo need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git python3
  qt6-base-dev libgl-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  clang libclang-rt-14-dev llvm
  nginx-light dante-server python3-aiosmtpd
  curl
  xdg-utils
  locales
  fonts-liberation2
  xvfb openbox xdotool wmctrl x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
