#!/usr/bin/env bash
# Builds the Debian package and tries it as a laboratory would:
#   1. the package (scripts/package.sh), lintian without errors, its contents;
#   2. unpacked into a throw-away root (dpkg -x): the installed programs'
#      versions, a first start against the simulator that makes the database
#      in the data folder (NUV_DATA_DIR) and records a run, the settings and
#      the log there too, nothing beside the executable;
#   3. nuv-report's spreadsheet CSV opened by LibreOffice Calc under
#      bg_BG.UTF-8: every result a number with its value (skipped, with the
#      reason, when soffice is missing and cannot be installed);
#   4. prjNUV --migrate-from: a portable folder's rows, settings and log;
#   5. as root on a machine without prjnuv: a real install, the shared
#      folder /var/lib/prjnuv and its group, removal and purge keeping the
#      database; all of it undone afterwards (skipped otherwise).
# Usage: bash scripts/package-test.sh   (NUV_DEB=FILE tests a package already
# built; NUV_PKG_BUILD=DIR builds it in DIR, by default build/ when configured)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
pids=()
fails=0
started=$SECONDS

cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

say() { echo "== $*"; }
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    fails=$((fails + 1))
  fi
}
skip() { echo "skip $*"; }
isql() { FIREBIRD_LOCK="$work/fblock" isql-fb -q -user SYSDBA -ch UTF8 "$@"; }
count() { # count DATABASE TABLE
  echo "set list on; select count(*) as n from $2;" | isql "$1" | awk '/^N /{print $2}'
}
# Waits for a condition, up to $1 seconds.
waitfor() {
  local limit=$1
  shift
  for _ in $(seq $((limit * 10))); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
# A child that has ended (only a zombie until it is waited for).
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* (.*) Z' "/proc/$1/stat"; }
mkdir -p "$work/fblock"

# 1. The package -------------------------------------------------------------
say "package"
if [ -n "${NUV_DEB:-}" ]; then
  deb=$NUV_DEB
  lintian --fail-on error "$deb"
else
  # After scripts/test.sh the build in build/ is used, so nothing is compiled twice.
  if [ -z "${NUV_PKG_BUILD:-}" ] && [ -f "$root/build/CMakeCache.txt" ]; then
    export NUV_PKG_BUILD=$root/build
  fi
  deb=$(bash "$root/scripts/package.sh" | tail -1)
fi
echo "$deb"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
listing=$(dpkg -c "$deb")
check "file name prjnuv_<version>_amd64.deb" test "$(basename "$deb")" = "prjnuv_${version}_amd64.deb"
for f in ./usr/bin/prjNUV ./usr/bin/nuv-report ./usr/share/prjnuv/schema.sql \
  ./usr/share/prjnuv/seed.sql ./usr/share/applications/bg.nuv.prjnuv.desktop \
  ./usr/share/icons/hicolor/scalable/apps/prjnuv.svg ./usr/share/metainfo/bg.nuv.prjnuv.metainfo.xml \
  ./usr/share/man/man1/prjNUV.1.gz ./usr/share/man/man1/nuv-report.1.gz \
  ./usr/share/doc/prjnuv/copyright ./usr/share/doc/prjnuv/changelog.gz; do
  check "package holds $f" grep -q " $f\$" <<<"$listing"
done
check "the simulator is not in the package" bash -c "! grep -q nuv-sim <<<\"\$1\"" _ "$listing"
for d in libqt6widgets6 libqt6charts6 libqt6serialport6 libfbclient2 firebird3.0-server-core \
  qt6-qpa-plugins adduser; do
  check "depends on $d" grep -q "$d" <<<"$depends"
done

# 2. Unpacked into a throw-away root ------------------------------------------
say "installed program in a throw-away root"
inst=$work/root
dpkg -x "$deb" "$inst"
exe=$inst/usr/bin/prjNUV
check "prjNUV --version is the package's" test "$("$exe" --version)" = "prjNUV $version"
check "nuv-report --version is the package's" \
  test "$("$inst/usr/bin/nuv-report" --version)" = "nuv-report $version"
if command -v desktop-file-validate >/dev/null; then
  check "desktop entry is valid" desktop-file-validate "$inst/usr/share/applications/bg.nuv.prjnuv.desktop"
else
  skip "desktop entry: desktop-file-validate is not installed (desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  quietly() { "$@" >/dev/null; }
  check "AppStream metainfo is valid" quietly appstreamcli validate --no-net --pedantic \
    "$inst/usr/share/metainfo/bg.nuv.prjnuv.metainfo.xml"
fi

build=${NUV_PKG_BUILD:-$root/build-pkg}
sim=$build/bin/nuv-sim
[ -x "$sim" ] || cmake --build "$build" -j2 --target nuv-sim >/dev/null
data=$work/data
mkdir -p "$data"
# The simulator's press: 100 kN/s to 300 kN, a new test 2 s after each failure.
"$sim" --dir "$data" --port 1 --scenario press --rate 100 --peak 300 --pause 2 \
  --log "$work/sim.log" >/dev/null &
pids+=($!)
waitfor 10 test -e "$data/ports/COM1"
printf '[frmStorage]\r\nlblCom_Caption=1\r\nPageControl1_ActivePage=TabSheet2\r\n' >"$data/prjNUV.ini"
NUV_DATA_DIR=$data QT_QPA_PLATFORM=offscreen "$exe" >"$work/app.out" 2>"$work/app.err" &
app=$!
pids+=($app)
polls() { [ "$(grep -c 'p\.v' "$work/sim.log" 2>/dev/null)" -ge "$1" ]; }
check "the installed program polls the simulator" waitfor 30 polls 25
kill -TERM "$app"
check "it ends in order on SIGTERM" waitfor 10 gone "$app"
status=0
wait "$app" || status=$?
check "with exit status 0" test "$status" -eq 0
check "the first start says where the database is" \
  grep -q "Създадена е нова база данни: $data/NUV.GDB" "$work/app.err"
check "database made in the data folder" test -s "$data/NUV.GDB"
check "the log in the data folder says it too" \
  bash -c "iconv -f CP1251 -t UTF-8 '$data/prjNUV.log' | grep -q 'Създадена е нова база данни'"
check "settings saved in the data folder" grep -q "NormPos" "$data/prjNUV.ini"
check "instance lock in the data folder" test -e "$data/NUV.GDB.lock"
runs=$(count "$data/NUV.GDB" mes)
samples=$(count "$data/NUV.GDB" mes_de)
echo "     recorded: $runs runs, $samples samples"
check "a run was recorded" test "${runs:-0}" -ge 1 -a "${samples:-0}" -ge 5
check "nothing was written beside the executable" \
  test "$(ls "$inst/usr/bin" | tr '\n' ' ')" = "nuv-report prjNUV "

# 3. The spreadsheet form in LibreOffice Calc ----------------------------------
say "nuv-report's spreadsheet CSV in LibreOffice Calc"
echo "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id)
        values(1, '2026-03-05 10:00:00', 'Проба', 1);
      update mes set mes_group_id = 1; commit;" | isql "$data/NUV.GDB"
report() { NUV_DATA_DIR=$data "$inst/usr/bin/nuv-report" --series 1 "$@"; }
report --csv "$work/machine.csv"
report --csv "$work/sheet.csv" --csv-form spreadsheet
check "spreadsheet form: byte-order mark, ';' and decimal comma" \
  bash -c "head -c3 '$work/sheet.csv' | od -An -tx1 | grep -q 'ef bb bf' && grep -q ';[0-9]*,[0-9]' '$work/sheet.csv'"
if ! { command -v soffice && command -v unzip; } >/dev/null && [ "$(id -u)" -eq 0 ] &&
  [ "${NUV_NO_INSTALL:-0}" != 1 ]; then
  echo "     installing libreoffice-calc-nogui"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    libreoffice-calc-nogui unzip >/dev/null 2>&1 || true
fi
if ! { command -v soffice && command -v unzip; } >/dev/null; then
  skip "LibreOffice Calc: soffice or unzip is not installed (apt-get install libreoffice-calc-nogui unzip)"
elif ! locale -a 2>/dev/null | grep -qi '^bg_BG\.utf-\?8$'; then
  skip "LibreOffice Calc: the bg_BG.UTF-8 locale is missing (scripts/install-deps.sh makes it)"
else
  # 59 ';', 34 '"', 76 UTF-8, from line 1, Bulgarian (1026) number recognition.
  LC_ALL=bg_BG.UTF-8 HOME=$work timeout 120 soffice --headless --norestore \
    "-env:UserInstallation=file://$work/lo" --infilter="CSV:59,34,76,1,,1026" \
    --convert-to xlsx --outdir "$work" "$work/sheet.csv" >/dev/null 2>&1 || true
  if [ ! -s "$work/sheet.xlsx" ]; then
    check "LibreOffice Calc converts the CSV" false
  else
    unzip -p "$work/sheet.xlsx" xl/worksheets/sheet1.xml >"$work/sheet1.xml"
    # Every field that is a number in the machine form is a number cell with
    # the same value in the sheet; the texts stay texts.
    check "every result is a number cell with its value" perl -e '
      my ($csv, $xml) = @ARGV;
      open my $c, "<", $csv or die; my @rows = map { chomp; [split /,/, $_, -1] } <$c>;
      local $/; open my $x, "<", $xml or die; my $sheet = <$x>;
      my %cell;
      while ($sheet =~ /<c r="([A-Z]+)(\d+)"([^>]*?)(?:\/>|>(.*?)<\/c>)/g) {
        my ($col, $row, $attrs, $body) = ($1, $2, $3, $4 // "");
        my ($type) = $attrs =~ /t="(\w+)"/; my ($v) = $body =~ /<v>([^<]*)<\/v>/;
        $cell{"$col$row"} = [$type // "n", $v];
      }
      my ($numbers, $bad) = (0, 0);
      for my $r (1 .. $#rows) {
        for my $i (0 .. $#{$rows[$r]}) {
          my $want = $rows[$r][$i];
          next unless $want =~ /^-?\d+(\.\d+)?$/;
          my $ref = chr(65 + $i) . ($r + 1);
          my ($type, $v) = @{$cell{$ref} // ["missing", undef]};
          if ($type ne "n" || !defined $v || abs($v - $want) > 1e-9 * (1 + abs $want)) {
            print STDERR "     $ref: wanted the number $want, the sheet has $type ", $v // "-", "\n";
            $bad++;
          }
          $numbers++;
        }
      }
      print "     $numbers numbers checked\n";
      exit($bad || !$numbers);
    ' "$work/machine.csv" "$work/sheet1.xml"
  fi
fi

# 4. From a portable folder -----------------------------------------------------
say "prjNUV --migrate-from"
portable=$work/portable/build/bin
mkdir -p "$portable"
cp "$data/NUV.GDB" "$data/prjNUV.ini" "$data/prjNUV.log" "$portable/"
data2=$work/data2
NUV_DATA_DIR=$data2 "$exe" --migrate-from "$portable" >"$work/migrate.out"
cat "$work/migrate.out"
check "every run and sample came along" \
  test "$(count "$data2/NUV.GDB" mes)/$(count "$data2/NUV.GDB" mes_de)" = "$runs/$samples"
check "settings and log came along" \
  bash -c "cmp -s '$portable/prjNUV.ini' '$data2/prjNUV.ini' && cmp -s '$portable/prjNUV.log' '$data2/prjNUV.log'"

# 5. A real install, removal and purge -------------------------------------------
say "install, remove, purge"
if [ "$(id -u)" -ne 0 ]; then
  skip "install/remove/purge: needs root"
elif dpkg-query -W -f='${Status}' prjnuv 2>/dev/null | grep -q installed || [ -e /var/lib/prjnuv ]; then
  skip "install/remove/purge: prjnuv or /var/lib/prjnuv is already on this machine"
else
  group_made=0
  getent group prjnuv >/dev/null || group_made=1
  undo() {
    dpkg -P prjnuv >/dev/null 2>&1 || true
    rm -rf /var/lib/prjnuv
    if [ "$group_made" = 1 ]; then delgroup --quiet prjnuv 2>/dev/null || true; fi
  }
  trap 'undo; cleanup' EXIT
  dpkg -i "$deb" >"$work/dpkg.out" 2>&1 || { cat "$work/dpkg.out"; check "dpkg -i" false; }
  check "shared data folder: group prjnuv, setgid" \
    test "$(stat -c '%G %a' /var/lib/prjnuv)" = "prjnuv 2775"
  gid=$(getent group prjnuv | cut -d: -f3)
  # A user outside the group is told what to do; a member records into the shared folder.
  outside() {
    QT_QPA_PLATFORM=offscreen setpriv --reuid=65534 --regid=65534 --clear-groups \
      /usr/bin/prjNUV >/dev/null 2>"$work/outside.err" &
    local p=$!
    waitfor 10 grep -q "sudo adduser nobody prjnuv" "$work/outside.err"
    local said=$?
    kill -TERM "$p" 2>/dev/null
    wait "$p" 2>/dev/null
    return $said
  }
  check "a user outside prjnuv is told to join it" outside
  member() {
    QT_QPA_PLATFORM=offscreen HOME=/tmp setpriv --reuid=65534 --regid=65534 --groups="$gid" \
      /usr/bin/prjNUV >/dev/null 2>"$work/member.err" &
    local p=$!
    waitfor 20 test -e /var/lib/prjnuv/NUV.GDB
    sleep 1
    kill -TERM "$p" 2>/dev/null
    wait "$p" 2>/dev/null || true
    test "$(stat -c '%G %a' /var/lib/prjnuv/NUV.GDB)" = "prjnuv 660"
  }
  check "a member's first start makes the shared database (group prjnuv, 660)" member
  dpkg -r prjnuv >/dev/null
  check "removal keeps the data" test -s /var/lib/prjnuv/NUV.GDB
  dpkg -P prjnuv >"$work/purge.out" 2>&1
  cat "$work/purge.out"
  check "purge keeps the database" test -s /var/lib/prjnuv/NUV.GDB
  check "purge says where the database stays" grep -q "/var/lib/prjnuv/NUV.GDB" "$work/purge.out"
  undo
  trap cleanup EXIT
fi

say "$fails failed, $((SECONDS - started)) s"
[ "$fails" -eq 0 ]
