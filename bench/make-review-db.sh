#!/usr/bin/env bash
# Makes the review benchmarks' database of 10,000,000 samples once: FILE is
# left alone when it exists, and appears only when it is whole.
#   bench/make-review-db.sh build/bench-data/NUV-10M.GDB
# Series 1, 2 and 3 hold one press run each of 1,000,000, 100,000 and 2,000
# samples; run 4 of 1,000,000 samples and runs 5 to 104 of 2,000 belong to
# no series (the grouping window); runs of 2,000 samples in series of five
# fill the rest. Samples come every 300 ms, loads in tenths of a kN.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
db=${1:?usage: make-review-db.sh FILE}
[ -e "$db" ] && exit 0
mkdir -p "$(dirname "$db")"
dir=$(cd "$(dirname "$db")" && pwd)
tmp="$dir/making-$$-$(basename "$db")"
trap 'rm -f "$tmp"' EXIT
bash "$root/scripts/create-db.sh" "$tmp" >/dev/null

run() { isql-fb -q -bail -user SYSDBA -ch UTF8 "$tmp"; }

# One run: a load that climbs with noise, a dip now and then.
cat <<'SQL' | run
insert into obekt(obekt_id, ime) values(1, 'Обект');
set term ^ ;
create procedure bench_run(run_id integer, grp integer, n integer, t0 timestamp) as
  declare i integer = 0;
  declare v double precision;
begin
  insert into mes(mes_id, mes_group_id, dev_id, dt_start, dt_stop)
    values(:run_id, :grp, 1, :t0, dateadd(:n * 300 millisecond to :t0));
  while (i < n) do
  begin
    v = 5 + 1100 * (cast(i as double precision) / n) + 40 * sin(i / 500.0) + rand() * 6;
    if (mod(i, 9973) = 0) then v = v * 0.7;
    insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)
      values(gen_id(gen_mes_de_id, 1), :run_id, round(:v, 1),
             dateadd(:i * 300 millisecond to :t0), 1, 0.5);
    i = i + 1;
  end
end^
set term ; ^
commit;
SQL

cat <<'SQL' | run
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  values(1, '2026-01-05', 'милион', 1, 1);
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  values(2, '2026-01-05', 'сто хиляди', 1, 1);
insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
  values(3, '2026-01-05', 'две хиляди', 1, 1);
execute procedure bench_run(1, 1, 1000000, '2026-01-01 08:00:00');
commit;
execute procedure bench_run(2, 2, 100000, '2026-01-05 08:00:00');
execute procedure bench_run(3, 3, 2000, '2026-01-05 16:00:00');
execute procedure bench_run(4, null, 1000000, '2026-01-10 08:00:00');
commit;
SQL

# Ungrouped runs 5..104, then 3,849 runs in series 4.. of five runs each.
cat <<'SQL' | run
set term ^ ;
execute block as
  declare r integer = 5;
begin
  while (r <= 104) do
  begin
    execute procedure bench_run(:r, null, 2000, dateadd(:r hour to timestamp '2026-01-15 00:00:00'));
    r = r + 1;
  end
end^
set term ; ^
commit;
SQL
for chunk in 0 1 2 3 4 5 6 7; do
  first=$((105 + chunk * 482)); last=$((first + 481)); [ $last -gt 3953 ] && last=3953
  cat <<SQL | run
set term ^ ;
execute block as
  declare r integer = $first;
  declare g integer;
begin
  while (r <= $last) do
  begin
    g = 4 + (r - 105) / 5;
    if (mod(r - 105, 5) = 0) then
      insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)
        values(:g, '2026-02-01', 'серия ' || :g, 1, 1);
    execute procedure bench_run(:r, :g, 2000, dateadd(:r hour to timestamp '2026-02-01 00:00:00'));
    r = r + 1;
  end
end^
set term ; ^
commit;
SQL
done
cat <<'SQL' | run
drop procedure bench_run;
set generator gen_mes_id to 3953;
set generator gen_mes_group_id to 773;
commit;
SQL
sync "$tmp"
mv "$tmp" "$db"
trap - EXIT
echo "Made $db"
