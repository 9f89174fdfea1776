#!/usr/bin/env bash
# One current screenshot per window in docs/screens/, made on a private X
# display (Xvfb 1280x800 with openbox) in the Bulgarian locale, over a fresh
# database and with the controller simulator on the line.
# Run after a build in build/:  bash scripts/screens.sh [build-folder]
# (SCREENS_WRAP="gdb -batch -ex run -ex bt --args" shows where a window crashes.)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
out="$root/docs/screens"
limit="${SCREENS_LIMIT:-300}" # seconds for the whole tour

fail() { echo "screens.sh: $*" >&2; exit 1; }

for tool in Xvfb openbox isql-fb pdftoppm timeout; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
[ -x "$build/bin/nuv-sim" ] || fail "$build/bin/nuv-sim is missing: cmake --build build --target nuv-sim"
[ -x "$build/bin/nuv-screens" ] ||
    fail "$build/bin/nuv-screens is missing: cmake --build build --target nuv-screens"
locale -a 2>/dev/null | grep -qi '^bg_BG\.utf-\?8$' || fail "the bg_BG.UTF-8 locale is not installed"

work="$(mktemp -d)"
xvfb=""
wm=""
# Ends a process started here, by its id, and waits for it a little.
stop() {
    local pid="$1"
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}
# A simulator left behind by a program that died: it runs in our work folder.
stopLeftovers() {
    local cmd
    for proc in /proc/[0-9]*; do
        cmd="$( { tr '\0' ' ' <"$proc/cmdline"; } 2>/dev/null)" || continue
        case "$cmd" in *nuv-sim*"$work"*) stop "${proc#/proc/}" ;; esac
    done
}
cleanup() {
    stopLeftovers
    stop "$wm"
    stop "$xvfb"
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb reports the display it took once it accepts connections.
mkfifo "$work/display"
Xvfb -displayfd 4 -screen 0 1280x800x24 -nolisten tcp -noreset 4>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 15 number <"$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$number"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1

export LANG=bg_BG.UTF-8 LC_ALL=bg_BG.UTF-8
mkdir -p "$out"
rm -f "$out"/*.png
status=0
TMPDIR="$work" timeout --kill-after=10 "$limit" ${SCREENS_WRAP:-} "$build/bin/nuv-screens" "$out" "$work/print.pdf" ||
    { status=$?; echo "screens.sh: nuv-screens failed ($status) or took longer than $limit s;" \
        "the pictures taken so far are kept" >&2; }
stopLeftovers

# The printed page, as the PDF file holds it.
if [ -s "$work/print.pdf" ]; then
    timeout 60 pdftoppm -png -r 70 -singlefile "$work/print.pdf" "$out/printed-page" ||
        { status=1; echo "screens.sh: pdftoppm could not read the printed page" >&2; }
else
    status=1
    echo "screens.sh: no printed page was written" >&2
fi

ls "$out"/*.png
du -ch "$out"/*.png | tail -1
exit "$status"
