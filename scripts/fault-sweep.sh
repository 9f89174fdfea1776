#!/usr/bin/env bash
# The I/O fault sweep. For each scenario it first runs it with the fault
# library counting the file-system calls made on the laboratory's files (the
# folder of the program: settings, log, database, CSV/PDF outputs), then runs
# it once for every call N with that call failing (testsupport/faultfs,
# preloaded), and checks:
#   crash    the program died of a signal
#   hang     it still ran 10 s after SIGTERM (the report tool: after 30 s)
#   db       the database fails the engine's full validation afterwards
#   lost     a sample the press answered while a run was open is missing
#            from the database (the simulator's command log says when each
#            poll came, its load follows from the time); with --persist,
#            missing samples count under "message" when nothing said so
#   extra    more samples than polls: something was stored twice
#   ini      prjNUV.ini is neither its old bytes nor a whole new file
#   log      prjNUV.log lost earlier lines or ends in half a line
#   output   a CSV/PDF output is neither its old bytes nor complete,
#            or the tool said it succeeded without writing it
#   message  the outcome differs from a sound run (an exit code, a save not
#            made, samples held back) and nothing told the operator: no
#            message box, no text on standard error or in the main window's
#            bottom line, no new log line
#   bulgarian  the operator was told, but only in another language
# Scenarios, each counting and failing calls only in its own phase: start
# (the program's start on the simulator, up to its polling), run (a recorded
# press run, up to 1.5 s past the specimen's break), close (the close with the
# settings save, on SIGTERM, while a run is still open), csv and pdf
# (nuv-report, the whole of it), grouping (saving a series and deleting a run,
# in-process: testsupport/tests/FaultSweepTest.cpp; not with --sample, where
# the suite runs it as a test of its own).
#
#   scripts/fault-sweep.sh [--sample] [--build DIR] [--errno ENOSPC|EIO] [--persist]
#                          [--only SCENARIO]... [--stride K] [--jobs J]
#   --sample   the first, the middle and the last N of each scenario (of a
#              report, the quarters too), not every N
#   --persist  every call from the N-th on fails, to the end of the phase: a
#              disk that stays full, then is freed
#   --jobs J   scenarios run side by side, J at a time (default 1; --sample: all)
# Needs the targets prjNUV nuv-sim nuv-report nuv_faultfs (and fault_sweep_tests
# for the grouping scenario). NUV_FAULT_KEEP=1 keeps the attempts' folders.
# Prints one "FAULT <scenario> N=<n> call=<function> <file> check=<check>" line
# per failed check and one "FAULT-SWEEP" summary line per scenario; exits 1
# when a check failed.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build sample=0 err=ENOSPC persist=0 stride=1 jobs=0 only=()
while [ $# -gt 0 ]; do
  case $1 in
  --sample) sample=1 ;;
  --build) build=$2; shift ;;
  --errno) err=$2; shift ;;
  --persist) persist=1 ;;
  --only) only+=("$2"); shift ;;
  --stride) stride=$2; shift ;;
  --jobs) jobs=$2; shift ;;
  *) echo "usage: $0 [--sample] [--build DIR] [--errno ENOSPC|EIO] [--persist] [--only S] [--stride K] [--jobs J]" >&2
     exit 2 ;;
  esac
  shift
done
build=$(cd "$build" 2>/dev/null && pwd) || { echo "no build folder" >&2; exit 2; }
bin=$build/bin
lib=$build/tests/libnuv-faultfs.so
for f in "$bin/prjNUV" "$bin/nuv-sim" "$bin/nuv-report" "$lib"; do
  [ -e "$f" ] || { echo "missing $f: build prjNUV nuv-sim nuv-report nuv_faultfs" >&2; exit 2; }
done
[ "$jobs" = 0 ] && { [ $sample = 1 ] && jobs=8 || jobs=1; }
work=$(mktemp -d /tmp/nuv-fault-sweep.XXXXXX)
trap '[ -n "${NUV_FAULT_KEEP:-}" ] || rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
port=1
threshold=5.2 # kN: a press run is open while the load is at or above it

wanted() { [ ${#only[@]} -eq 0 ] || [[ " ${only[*]} " == *" $1 "* ]]; }
cyrillic_utf8() { [ -s "$1" ] && LC_ALL=C grep -q $'[\xd0\xd1]' "$1"; }
now_ms() { date +%H:%M:%S.%3N | awk -F: '{ printf "%d\n", ($1 * 3600 + $2 * 60 + $3) * 1000 }'; }

# ---- the files an attempt starts from --------------------------------------------------------

template=$work/template
mkdir -p "$template"
isqlf() { FIREBIRD_LOCK=$(dirname "$1")/.fblock isql-fb -q -user SYSDBA -ch UTF8 "$1"; }
bash "$root/scripts/create-db.sh" "$template/NUV.GDB" >/dev/null ||
  { echo "the template database could not be created" >&2; exit 2; }
cp "$template/NUV.GDB" "$template/series.GDB"
isqlf "$template/series.GDB" >/dev/null <<'SQL' || { echo "the series could not be made" >&2; exit 2; }
insert into obekt(obekt_id, ime) values(1, 'Мост');
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  values(1, '2024-03-05', 'Проба', 1, 1);
set term ^;
execute block as
declare r int = 1; declare i int;
begin
  while (r <= 3) do begin
    insert into mes(mes_id, mes_group_id, dev_id, dt_start)
      values(:r, 1, 1, dateadd(:r minute to timestamp '2024-03-05 10:00:00'));
    i = 0;
    while (i < 40) do begin
      insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
        values(gen_id(gen_mes_de_id, 1), :r, :i * 10 + :r,
               dateadd(:i * 300 millisecond to dateadd(:r minute to timestamp '2024-03-05 10:00:00')), 1, 0);
      i = i + 1;
    end
    r = r + 1;
  end
end^
set term ;^
commit;
SQL
ini_old=$template/prjNUV.ini log_old=$template/prjNUV.log
printf '[frmStorage]\r\nlblCom_Caption=%s\r\nPageControl1_ActivePage=TabSheet2\r\n' $port >"$ini_old"
printf '05.03.24 09:00:00 -> NEW LOG\r\n05.03.24 09:00:01 -> commErr -> \xcf\xf0\xe5\xe4\xe8\xf8\xed\xe0\r\n' >"$log_old"
log_old_size=$(stat -c %s "$log_old")

# A fresh folder for one attempt: $app holds the laboratory's files, $ctl what
# the harness itself writes (counts, faults, messages, the gate) and the
# user's runtime folder, where the engine keeps its lock files (in memory on
# a real system, so no fault of the laboratory's disk reaches it).
fresh() { # scenario n database
  ctl=$work/$1/$2 app=$work/$1/$2/app
  rm -rf "$ctl"
  mkdir -p "$app" "$ctl/run"
  chmod 700 "$ctl/run"
  cp "$template/$3" "$app/NUV.GDB"
  cp "$ini_old" "$log_old" "$app/"
}

faultenv() { # n
  echo LD_PRELOAD="$lib" NUV_FAULT_KIND=any NUV_FAULT_N="$1" NUV_FAULT_ERRNO="$err" \
    NUV_FAULT_PERSIST="$persist" NUV_FAULT_PATH="$app" NUV_FAULT_COUNT="$ctl/count" \
    NUV_FAULT_LOG="$ctl/fault.log" NUV_FAULT_MESSAGES="$ctl/messages" NUV_FAULT_STATUS="$ctl/status" \
    NUV_FAULT_GATE="$ctl/gate" \
    XDG_RUNTIME_DIR="$ctl/run"
}

# ---- the program on the simulator -------------------------------------------------------------

# The press as each scenario drives it: rate (kN/s), peak (kN), pause (s).
press_of() {
  case $1 in
  run) echo 30 60 3 ;;    # a short run from 3 s after the simulator starts, ended by the break
  close) echo 10 900 0 ;; # loading from the start, still open at the signal
  *) echo ;;
  esac
}

polls() { grep -c ' p\.v' "$ctl/sim.log" 2>/dev/null || true; }

# Runs the program through one scenario; sets $status: exit code, "crash:SIG" or "hang".
program_attempt() { # scenario n
  local scenario=$1 n=$2 sim_args=(--scenario idle) press
  fresh "$scenario" "$n" NUV.GDB
  cp "$bin/prjNUV" "$app/prjNUV"
  press=($(press_of "$scenario"))
  [ ${#press[@]} = 3 ] &&
    sim_args=(--scenario press --rate "${press[0]}" --peak "${press[1]}" --pause "${press[2]}")
  [ "$scenario" = start ] && touch "$ctl/gate"
  now_ms >"$ctl/sim.start"
  "$bin/nuv-sim" --dir "$app" --port $port --log "$ctl/sim.log" "${sim_args[@]}" >/dev/null 2>&1 &
  local sim=$! t0=$SECONDS
  for _ in $(seq 50); do [ -e "$app/ports/COM$port" ] && break; sleep 0.1; done
  (cd "$app" && exec env $(faultenv "$n") QT_QPA_PLATFORM=offscreen ./prjNUV) \
    >/dev/null 2>"$ctl/stderr" &
  local pid=$!
  # Ready: polling, or telling the operator something, or gone.
  for _ in $(seq 200); do
    [ "$(polls)" -ge 3 ] || [ -s "$ctl/messages" ] || ! kill -0 $pid 2>/dev/null && break
    sleep 0.1
  done
  case $scenario in
  start) rm -f "$ctl/gate" ;;
  run)
    # Faults while the run is recorded and ended: up to a second past the break.
    touch "$ctl/gate"
    local end=$(awk -v r="${press[0]}" -v p="${press[1]}" -v s="${press[2]}" 'BEGIN { printf "%d", s + p / r + 1.5 }')
    while [ $((SECONDS - t0)) -lt "$end" ] && kill -0 $pid 2>/dev/null; do sleep 0.1; done
    rm -f "$ctl/gate" ;;
  close) sleep 1; touch "$ctl/gate" ;;
  esac
  now_ms >"$ctl/signalled"
  kill -TERM $pid 2>/dev/null
  status=hang
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || { status=; break; }; sleep 0.1; done
  [ -n "$status" ] && kill -KILL $pid 2>/dev/null
  wait $pid 2>/dev/null
  local code=$?
  [ -z "$status" ] && { status=$code; [ $code -gt 128 ] && status=crash:$((code - 128)); }
  kill $sim 2>/dev/null
  wait $sim 2>/dev/null
}

# The database passes the engine's full validation.
sound_db() {
  [ -z "$(FIREBIRD_LOCK=$app/.fblock gfix -v -full -n -user SYSDBA "$app/NUV.GDB" 2>&1)" ]
}

# The keys of a settings file, one a line; a line without its CR LF end adds a bad one.
ini_keys() {
  LC_ALL=C awk '!/\r$/ { print "(unended line)" } { sub(/\r$/, ""); if (/=/) print substr($0, 1, index($0, "=") - 1) }' \
    "$1" | LC_ALL=C sort
}

# A settings file written whole: every line ended, and the keys of the sound
# close (the values, the window's place among them, may differ).
whole_ini() {
  [ "$(ini_keys "$1")" = "$(ini_keys "$work/$2.ini")" ]
}

# The samples the press gave while a run was open, against those in the
# database: "<stored> <least expected> <most expected>". The simulator's load
# is a function of its time, so each poll's load follows from the poll's
# moment once the simulator's start is known; that start is the one (near
# the moment it was launched) that puts every stored value on a poll. Polls
# answered after the signal (60 ms before it) may count or not.
sample_tally() { # rate peak pause
  isqlf "$app/NUV.GDB" 2>/dev/null <<<"set list on; select mes_value from mes_de;" |
    awk '$1 == "MES_VALUE" { print $2 }' >"$ctl/values"
  awk '$2 ~ /^p\.v/ { split(substr($1, 12), t, ":"); printf "%d\n", (t[1] * 3600 + t[2] * 60 + t[3]) * 1000 }' \
    "$ctl/sim.log" >"$ctl/polls"
  awk -v rate="$1" -v peak="$2" -v pause="$3" -v th=$threshold -v launched="$(cat "$ctl/sim.start")" \
    -v signalled="$(cat "$ctl/signalled")" '
    FILENAME ~ /polls$/ { p[++np] = $1 + 0; next }
    { v[++nv] = $1 + 0 }
    function at(ms) { # the load at a moment after the start
      s = ms % cycle
      if (s < pause * 1000 || s >= pause * 1000 + ramp) return 0
      return (s - pause * 1000) * rate / 1000
    }
    END {
      ramp = peak / rate * 1000; cycle = pause * 1000 + ramp + 2000
      best = -1
      for (k = 1; k <= np && nv > 0; k++) {
        start = p[k] - pause * 1000 - v[1] / rate * 1000
        if (start < launched - 500 || start > launched + 5000) continue
        miss = 0
        for (i = 1; i <= nv; i++) {
          near = 1e9
          for (j = 1; j <= np; j++) { d = at(p[j] - start) - v[i]; if (d < 0) d = -d; if (d < near) near = d }
          miss += near
        }
        if (best < 0 || miss < best) { best = miss; found = start }
      }
      if (best < 0) found = launched + 100 # nothing stored: the start as launched
      for (j = 1; j <= np; j++) {
        load = at(p[j] - found)
        if (load >= th + 0.3 && p[j] < signalled - 60) lo++
        if (load >= th - 0.3) hi++
      }
      printf "%d %d %d\n", nv, lo, hi
    }' "$ctl/polls" "$ctl/values"
}

# The checks after one attempt; prints the failed ones.
program_checks() { # scenario
  local failed=() differs=0 told=0 foreign=0 press
  case $status in
  crash:*) failed+=(crash) ;;
  hang) failed+=(hang) ;;
  0) ;;
  *) differs=1 ;;
  esac
  sound_db || { failed+=(db); differs=1; }
  press=($(press_of "$1"))
  if [ ${#press[@]} = 3 ]; then
    local tally
    tally=($(sample_tally "${press[@]}"))
    echo "${tally[*]}" >"$ctl/tally"
    # One failing call loses nothing: what the database refused is written
    # later. A disk that stays full may keep samples out, but not unsaid.
    [ "${tally[0]}" -lt "${tally[1]}" ] && { [ $persist = 1 ] && differs=1 || failed+=(lost); }
    [ "${tally[0]}" -gt "${tally[2]}" ] && failed+=(extra)
  fi
  if cmp -s "$app/prjNUV.ini" "$ini_old"; then
    differs=1 # the window's state was not saved
  elif ! whole_ini "$app/prjNUV.ini" "$1"; then
    failed+=(ini)
  fi
  if ! cmp -s -n "$log_old_size" "$app/prjNUV.log" "$log_old" ||
    [ "$(tail -c 2 "$app/prjNUV.log" | od -An -c | tr -d ' ')" != '\r\n' ]; then
    failed+=(log)
  fi
  # New lines in the log: what the program held back or could not do.
  tail -c +$((log_old_size + 1)) "$app/prjNUV.log" >"$ctl/log.new" 2>/dev/null
  [ -s "$ctl/log.new" ] && differs=1
  { cyrillic_utf8 "$ctl/messages" || cyrillic_utf8 "$ctl/stderr"; } && told=1
  # The bottom line: a text that a sound run does not show.
  touch "$ctl/status"
  grep -vxF -f "$work/$1.status" "$ctl/status" >"$ctl/status.new"
  cyrillic_utf8 "$ctl/status.new" && told=1
  LC_ALL=C grep -q $'[\xc0-\xff]' "$ctl/log.new" && told=1 # Cyrillic in the log's code page
  # The settings save that fails says so in the text prescribed for it: in a
  # box, or in the log on a close by a signal.
  grep -qs '^Unable to write to .*prjNUV\.ini' "$ctl/messages" && told=1
  grep -qs 'Unable to write to .*prjNUV\.ini' "$ctl/log.new" && told=1
  [ $told = 0 ] && { [ -s "$ctl/messages" ] || [ -s "$ctl/log.new" ] ||
    grep -qsv 'QStandardPaths\|propagateSizeHints' "$ctl/stderr"; } && foreign=1
  if [ $differs = 1 ] && [ $told = 0 ]; then
    [ $foreign = 1 ] && failed+=(bulgarian) || failed+=(message)
  fi
  echo "${failed[*]}"
}

# ---- nuv-report -------------------------------------------------------------------------------

report_attempt() { # scenario n
  local scenario=$1 n=$2
  fresh "$scenario" "$n" series.GDB
  printf 'old\r\n' >"$app/out.$scenario"
  touch "$ctl/gate" # the whole run of the tool counts
  timeout -k 5 30 env $(faultenv "$n") FIREBIRD_LOCK="$ctl/run/firebird" "$bin/nuv-report" \
    --database "$app/NUV.GDB" --settings "$app/prjNUV.ini" --series 1 --"$scenario" "$app/out.$scenario" \
    >/dev/null 2>"$ctl/stderr"
  local code=$?
  status=$code
  [ $code = 124 ] && status=hang
  [ $code -gt 128 ] && status=crash:$((code - 128))
}

complete_output() { # scenario file
  if [ "$1" = csv ]; then cmp -s "$2" "$work/$1.ref"; else
    [ "$(head -c 5 "$2")" = "%PDF-" ] && tail -c 7 "$2" | grep -q '%%EOF'
  fi
}

report_checks() { # scenario
  local failed=() out=$app/out.$1
  case $status in
  crash:*) failed+=(crash) ;;
  hang) failed+=(hang) ;;
  0) complete_output "$1" "$out" || failed+=(output) ;;
  *)
    if ! cyrillic_utf8 "$ctl/stderr"; then
      grep -qsv 'QStandardPaths' "$ctl/stderr" && failed+=(bulgarian) || failed+=(message)
    fi
    [ "$(cat "$out" 2>/dev/null)" = $'old\r' ] || complete_output "$1" "$out" || failed+=(output) ;;
  esac
  { sound_db && [ "$(isqlf "$app/NUV.GDB" <<<"set list on; select count(*) as n from mes_de;" 2>/dev/null |
       awk '$1 == "N" { print $2 }')" = 120 ]; } || failed+=(db)
  echo "${failed[*]}"
}

# ---- the sweep --------------------------------------------------------------------------------

# The N tried out of COUNT: every STRIDE-th, or with --sample the first, the
# middle and the last; for the report tool, whose runs take a moment, also the
# quarters.
points() { # count scenario
  if [ $sample = 0 ]; then seq 1 "$stride" "$1"
  elif [ "$2" = csv ] || [ "$2" = pdf ]; then
    printf '%s\n' 1 $((($1 + 3) / 4)) $((($1 + 1) / 2)) $((($1 * 3 + 3) / 4)) "$1" | sort -nu
  else printf '%s\n' 1 $((($1 + 1) / 2)) "$1" | sort -nu; fi
}

# One scenario, start to end; prints its FAULT lines and its summary.
sweep() { # scenario attempt-function check-function
  local scenario=$1 attempt=$2 check=$3
  $attempt "$scenario" 0
  local count
  count=$(cat "$ctl/count" 2>/dev/null || echo 0)
  # What a sound run leaves: the settings file's keys, the report's bytes.
  cp "$app/prjNUV.ini" "$work/$scenario.ini"
  sort -u "$ctl/status" >"$work/$scenario.status" 2>/dev/null || : >"$work/$scenario.status"
  [ -e "$app/out.$scenario" ] && cp "$app/out.$scenario" "$work/$scenario.ref"
  local base
  base=$($check "$scenario")
  if [ -n "$base" ] || [ "$count" -eq 0 ] || [ "$status" != 0 ]; then
    echo "FAULT-SWEEP $scenario: the fault-free run fails (${base:-no check}, status $status, $count calls)"
    echo 1 >"$work/$scenario.failed"
    return
  fi
  local exercised=0 failed=0 n
  declare -A by_check=()
  for n in $(points "$count" "$scenario"); do
    $attempt "$scenario" "$n"
    [ -s "$ctl/fault.log" ] || continue # the run made fewer calls this time
    exercised=$((exercised + 1))
    local problems
    problems=$($check "$scenario")
    [ -z "$problems" ] && continue
    failed=$((failed + 1))
    local call c
    call=$(head -1 "$ctl/fault.log" | cut -d' ' -f2- | sed "s|$work/$scenario/$n/||")
    for c in $problems; do
      echo "FAULT $scenario N=$n call=$call check=$c"
      by_check[$c]=$((${by_check[$c]:-0} + 1))
    done
  done
  local summary=""
  for c in "${!by_check[@]}"; do summary+=" $c=${by_check[$c]}"; done
  echo "FAULT-SWEEP $scenario: $exercised fault points exercised of $count calls ($err$([ $persist = 1 ] && echo ", persisting")), $failed failed${summary:+:$summary}"
  echo $failed >"$work/$scenario.failed"
}

scenarios=()
for s in start run close csv pdf; do wanted $s && scenarios+=("$s"); done
for s in "${scenarios[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  case $s in
  csv | pdf) sweep "$s" report_attempt report_checks >"$work/$s.out.txt" 2>"$work/$s.err" & ;;
  *) sweep "$s" program_attempt program_checks >"$work/$s.out.txt" 2>"$work/$s.err" & ;;
  esac
done
wait
total_failed=0
for s in "${scenarios[@]}"; do
  cat "$work/$s.out.txt"
  total_failed=$((total_failed + $(cat "$work/$s.failed" 2>/dev/null || echo 1)))
done
if wanted grouping && [ $sample = 0 ]; then
  out=$(LD_PRELOAD=$lib NUV_FAULT_SWEEP=all NUV_FAULT_ERRNO=$err NUV_FAULT_PERSIST=$persist QT_QPA_PLATFORM=offscreen \
    "$build/tests/fault_sweep_tests" 2>&1)
  grep '^FAULT' <<<"$out"
  total_failed=$((total_failed + $(grep -c '^FAULT ' <<<"$out")))
fi
echo "fault sweep: $total_failed failed"
[ $total_failed = 0 ]
