#!/usr/bin/env bash
# Installs everything KestrelHTS needs to build, run and test on Debian 12
# (clang with its fuzzer and sanitizer runtimes for scripts/fuzz.sh).
# Safe to run again: packages already present are left as they are.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-websockets-dev
  qt6-webengine-dev qt6-multimedia-dev qt6-charts-dev qt6-translations-l10n
  libgl1-mesa-dev libxkbcommon-dev
  libcurl4-openssl-dev nlohmann-json3-dev libcpp-httplib-dev libssl-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpcre2-dev
  fonts-nanum fonts-noto-cjk fonts-noto-color-emoji
  xvfb xauth
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
