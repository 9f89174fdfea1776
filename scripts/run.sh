#!/usr/bin/env bash
# The main job: installs what is missing, builds, prepares the files beside the
# executable, starts the controller simulator on COM1 and opens the program on it.
#   SIM_SCENARIO=idle|press|cbr|noisy   (default press)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin="$root/build/bin"
port=1

bash "$root/scripts/build.sh" --target prjNUV nuv-sim
bash "$root/scripts/create-db.sh" "$bin/NUV.GDB"

# A first start gets the simulator's port; a port chosen later in the program
# is kept, because the settings file then holds it.
ini="$bin/prjNUV.ini"
if [ ! -e "$ini" ]; then
  printf '[frmStorage]\r\nlblCom_Caption=%s\r\n' "$port" >"$ini"
fi

"$bin/nuv-sim" --dir "$bin" --port "$port" --scenario "${SIM_SCENARIO:-press}" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$bin/ports/COM$port" ] && break; sleep 0.1; done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the program on a virtual X server (xvfb-run)."
  xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/prjNUV"
else
  "$bin/prjNUV"
fi
