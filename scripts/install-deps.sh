#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its tools need.
# Idempotent: prints nothing and touches nothing when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-charts-dev qt6-serialport-dev libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2
  firebird3.0-server
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

# The tests start private Firebird servers of their own; the package's system
# service is not needed, so installing it neither starts it (a policy that
# refuses it, only for the time of the install and only where the machine has
# no policy of its own) nor leaves it running. A server that was running
# before is left alone.
POLICY=/usr/sbin/policy-rc.d
own_policy=0
fb_was_running=0
if pgrep -x firebird >/dev/null 2>&1; then fb_was_running=1; fi
restore_policy() {
  if [ "$own_policy" -eq 1 ]; then "${SUDO[@]}" rm -f "$POLICY"; fi
}
trap restore_policy EXIT
if [ ! -e "$POLICY" ]; then
  printf '%s\n' '#!/bin/sh' \
    'while [ "${1#--}" != "$1" ]; do shift; done' \
    '[ "$1" = firebird3.0 ] && exit 101' \
    'exit 0' | "${SUDO[@]}" tee "$POLICY" >/dev/null
  "${SUDO[@]}" chmod 755 "$POLICY"
  own_policy=1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
restore_policy
own_policy=0
if [ "$fb_was_running" -eq 0 ] && pgrep -x firebird >/dev/null 2>&1; then
  "${SUDO[@]}" invoke-rc.d firebird3.0 stop >/dev/null 2>&1 ||
    "${SUDO[@]}" systemctl stop firebird3.0 >/dev/null 2>&1 || true
fi
ensure_locale
