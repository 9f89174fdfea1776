#!/usr/bin/env bash
# Builds the Debian package prjnuv_<version>_amd64.deb into the source
# folder (from a build of its own in build-pkg/, without tests, unless
# NUV_PKG_BUILD names another build folder), checks it
# with lintian and prints its path. Install it with
#   sudo apt install ./prjnuv_*.deb
# The portable program in build/bin is neither used nor changed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${NUV_PKG_BUILD:-$root/build-pkg}

bash "$root/scripts/install-deps.sh"
# What the package needs beyond the build: dpkg-shlibdeps, file, lintian.
missing=()
for p in dpkg-dev file lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=()
  [ "$(id -u)" -eq 0 ] || SUDO=(sudo)
  echo "Installing: ${missing[*]}"
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# A build folder given in NUV_PKG_BUILD (build/ after scripts/test.sh, say)
# is used as it is configured; only the programs and the package's files
# are built in it.
if [ -n "${NUV_PKG_BUILD:-}" ] && [ -f "$out/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$out" >/dev/null
else
  cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNUV_BUILD_TESTS=OFF -DNUV_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$out" -j"${NUV_JOBS:-$(nproc)}" --target prjNUV nuv-report nuv_package_files >/dev/null
rm -f "$out"/prjnuv_*.deb
(cd "$out" && cpack -G DEB >/dev/null)
built=$(ls "$out"/prjnuv_*_*.deb)

rm -f "$root"/prjnuv_*.deb
cp "$built" "$root/"
deb="$root/$(basename "$built")"
# Errors fail the package; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
