#!/usr/bin/env bash
# Installs the Debian packages the build and the game need, when they are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-mixer-dev zlib1g-dev
  libfluidsynth-dev timgm6mb-soundfont libgif-dev libfreetype-dev
  fonts-dejavu-core fonts-dejavu-extra
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev nlohmann-json3-dev libsqlite3-dev libpq-dev libssl-dev  # the world list's server
  postgresql wrk  # its tests start a PostgreSQL of their own; its benchmark
  xvfb xdotool  # a test plays the real game on a virtual display
)
# Further packages named on the command line (the fuzz build's clang, say).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
