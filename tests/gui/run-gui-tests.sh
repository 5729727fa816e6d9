#!/usr/bin/env bash
# Runs the GUI flows of the dialog window under Wine on the X display in DISPLAY, in English,
# German and Japanese, and keeps a screenshot of every display in the output folder.
# usage: run-gui-tests.sh <qrnv_gui_driver.exe> <qrnv_gui_subject.exe> <output folder>
# Exits 77 (skipped) only when there is no display to run on.
set -u
driver=$1
subject=$2
output=$3

source "$(dirname "$0")/gui-prefix.sh" || exit $?

rm -rf "$output/en" "$output/de" "$output/ja"
failures=0
run() { # language folder, language id, flow
  local folder="$output/$1"
  mkdir -p "$folder"
  "$wine" "$driver" "$subject" "$folder" "$3" "$2" </dev/null
  local rc=$?
  [ $rc -eq 0 ] || { echo "FAILED: flow $3 in $1 (driver exit $rc)"; failures=$((failures + 1)); }
}

for lang in "en 1033" "de 1031" "ja 1041"; do
  set -- $lang
  for flow in offers uptodate error; do
    run "$1" "$2" "$flow"
  done
done
run en 1033 hidden

echo "screenshots: $output"
[ $failures -eq 0 ] && echo "GUI tests: ok"
exit $((failures > 0))
