#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its tools need.
# Idempotent: prints nothing and touches nothing when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-charts-dev qt6-serialport-dev libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core xvfb xauth x11-utils imagemagick poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo -E); fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
