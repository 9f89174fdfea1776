#!/bin/bash
# Checks that arrows only point down: each library folder includes only the
# folders below it, and the programs and tests of the lower libraries load no
# Qt Gui, Widgets or Charts. Usage: check-layers.sh <source dir> <build dir>
set -u
src=$1 build=$2
fail=0

declare -A allowed=(
  [core]="core"
  [serial]="core serial"
  [db]="core db"
  [acquisition]="core serial db acquisition"
  [results]="core db results"
  [reporting]="core db results reporting"
  [widgets]="core widgets"
  [grouping]="core db results widgets grouping"
  [review]="core db results reporting widgets review"
  [objects]="core db widgets objects"
  [trace]="core db results widgets trace"
)
for folder in "${!allowed[@]}"; do
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -n 's/.*#include "\([a-z]*\)\/.*/\1/p' <<<"${line#*:}")
    [[ " ${allowed[$folder]} " == *" $target "* ]] && continue
    [[ $file == */tests/* && $target == testsupport ]] && continue
    # A window's tests may open the other windows beside it.
    [[ $file == */tests/* && " grouping review objects " == *" $folder "* &&
       " grouping review objects " == *" $target "* ]] && continue
    echo "layer: $file reaches up into $target/"
    fail=1
  done < <(cd "$src" && grep -rHn '#include "[a-z]*/' "$folder" --include=*.h --include=*.cpp)
done

# Headers of the widget modules never appear below the widgets.
for folder in core serial db acquisition results; do
  if hits=$(cd "$src" && grep -rln '#include <Q\(Widget\|Application\|Chart\|Painter\|Color\|Font\)' \
              "$folder" --include=*.h --include=*.cpp | grep -v /tests/); then
    echo "layer: $folder uses a widget or Gui header: $hits"
    fail=1
  fi
done

for binary in tests/core_tests tests/serial_tests tests/db_tests tests/acquisition_tests \
              tests/results_tests; do
  needed=$(readelf -d "$build/$binary" | grep NEEDED)
  if grep -q 'libQt6\(Gui\|Widgets\|Charts\)' <<<"$needed"; then
    echo "layer: $binary loads $(grep -o 'libQt6\(Gui\|Widgets\|Charts\)[^]]*' <<<"$needed" | tr '\n' ' ')"
    fail=1
  fi
done
if readelf -d "$build/bin/nuv-report" | grep -q 'libQt6\(Widgets\|Charts\)'; then
  echo "layer: nuv-report loads a widget module"
  fail=1
fi
[ $fail = 0 ] && echo "layers: every arrow points down"
exit $fail
