#!/usr/bin/env bash
# Runs each stand-in under Wine: it appends its raw command line to the record file and exits
# with the code it is told (-1 arrives as 255, an exit status has 8 bits on Linux).
# usage: check-standins.sh <wine-run> <QuarnRenovaWorker.exe> <QuarnAdViewer.exe>
set -u
emulator=$1
failures=0
scratch=$(mktemp -d /tmp/qrnv-standin-wine-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

check() { # what, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

arguments_of() { # the line after the program's path, quoted or not
  local rest=${1#*.exe}
  printf '%s' "${rest#\"}"
}

run_case() { # exe, record variable, exit variable
  local exe=$1 recvar=$2 exitvar=$3 rc
  local name
  name=$(basename "$exe")
  local record="$scratch/$name.txt"
  local winrecord="Z:${record//\//\\}"

  env "$recvar=$winrecord" "$exitvar=-1" "$emulator" "$exe" -MachineGuid "ab cd" -AdCampaignId 42 -Language 1031
  rc=$?; check "$name exit code -1" 255 $rc
  env "$recvar=$winrecord" "$exitvar=7" "$emulator" "$exe" -Tray
  rc=$?; check "$name exit code 7" 7 $rc
  env "$recvar=$winrecord" "$emulator" "$exe"
  rc=$?; check "$name default exit code" 0 $rc

  # Wine builds the program's part of the raw line; the arguments follow it as given.
  mapfile -t lines < <(tr -d '\r' < "$record")
  check "$name lines recorded" 3 "${#lines[@]}"
  check "$name first line" ' -MachineGuid "ab cd" -AdCampaignId 42 -Language 1031' \
        "$(arguments_of "${lines[0]}")"
  check "$name second line" ' -Tray' "$(arguments_of "${lines[1]}")"
  check "$name third line" '' "$(arguments_of "${lines[2]}")"
  case "${lines[0]}" in
    *"$name"*) ;;
    *) check "$name program in the line" "$name" "${lines[0]}" ;;
  esac
}

run_case "$2" QRNV_WORKER_RECORD QRNV_WORKER_EXIT_CODE
run_case "$3" QRNV_ADVIEWER_RECORD QRNV_ADVIEWER_EXIT_CODE

[ $failures -eq 0 ] && echo "stand-ins under Wine: ok"
exit $((failures > 0))
