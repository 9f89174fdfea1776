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
  openbox qt6-translations-l10n locales ccache libxcb1-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo -E); fi

# The laboratory's own locale: the program and its tests run under it.
ensure_locale() {
  locale -a 2>/dev/null | grep -qi '^bg_BG\.utf-\?8$' && return 0
  echo "Generating the bg_BG.UTF-8 locale"
  "${SUDO[@]}" sed -i 's/^# *\(bg_BG.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^bg_BG.UTF-8 UTF-8' /etc/locale.gen || echo 'bg_BG.UTF-8 UTF-8' | "${SUDO[@]}" tee -a /etc/locale.gen >/dev/null
  "${SUDO[@]}" locale-gen >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_locale
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_locale
