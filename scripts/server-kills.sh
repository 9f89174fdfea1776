#!/usr/bin/env bash
# A recording through the server's writer while its private Firebird server
# is killed (SIGKILL) and started again, KILLS times (100 unless given): every
# other kill just after a commit the writer never heard answered, the others
# at random moments. Prints how many kills the recording survived with no
# sample stored twice or lost and no run written twice. Not part of the test
# suite: it takes minutes.
#   scripts/server-kills.sh [KILLS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NUV_BUILD_DIR:-$root/build}
kills=${1:-100}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUV_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target app_server_kill_tests >/dev/null
status=0
start=$SECONDS
NUV_SERVER_KILLS=$kills "$build/tests/app_server_kill_tests" \
  --gtest_filter='ServerKillTest.*' --gtest_brief=1 >"$build/server-kills.log" 2>&1 || status=$?
grep -E '^server kills:' "$build/server-kills.log" || cat "$build/server-kills.log"
echo "$((SECONDS - start)) s; the whole output is in $build/server-kills.log"
exit $status
