#!/usr/bin/env bash
# Runs the full client's interactive flows through its real window under Wine on the X
# display in DISPLAY, against the native stand-in service on loopback, in English, German
# and Japanese; the screenshots go to <output folder>/<language>.
# usage: run-client-flows.sh <qrnv_gui_driver.exe> <quarnrenova.exe> <QuarnRenovaWorker.exe>
#                            <qrnv-service (native)> <output folder> [case]
# Exits 77 (skipped) when there is no display or no native stand-in service.
set -u
driver=$1
client=$2
worker=$3
service=$4
output=$5
only=${6:-}

if [ ! -x "$service" ]; then
  echo "SKIPPED: $service is missing; build the native preset first (or configure with -DQRNV_NATIVE_BIN_DIR=...)"
  exit 77
fi
source "$(dirname "$0")/gui-prefix.sh" || exit $?

scratch=$(mktemp -d /tmp/qrnv-gui-service.XXXXXX)
service_pid=
stop_service() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$scratch"
  gui_prefix_cleanup
}
trap stop_service EXIT
mkdir -p "$scratch/files"
cp "$worker" "$scratch/files/QuarnRenovaWorker.exe"
echo '{}' >"$scratch/catalog.json"
"$service" --listen 127.0.0.1:0 --catalog "$scratch/catalog.json" --files "$scratch/files" \
  --journal "$scratch/journal.jsonl" --port-file "$scratch/ports" --exit-after 900 \
  >"$scratch/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 200); do
  [ -f "$scratch/ports" ] && break
  sleep 0.05
done
port=$(sed -n 's/^http=//p' "$scratch/ports" 2>/dev/null)
if [ -z "$port" ]; then
  echo "FAILED: the stand-in service did not start:"
  cat "$scratch/service.log"
  exit 1
fi

failures=0
for lang in "en 1033" "de 1031" "ja 1041"; do
  set -- $lang
  rm -rf "$output/$1"
  mkdir -p "$output/$1"
  "$wine" "$driver" client "$client" "$worker" "$output/$1" "$scratch" "http://127.0.0.1:$port" "$2" $only </dev/null
  rc=$?
  [ $rc -eq 0 ] || { echo "FAILED: client flows in $1 (driver exit $rc)"; failures=$((failures + 1)); }
done

echo "screenshots: $output"
[ $failures -eq 0 ] && echo "client flows: ok"
exit $((failures > 0))
