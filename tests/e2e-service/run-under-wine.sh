#!/usr/bin/env bash
# run-under-wine.sh NATIVE_BIN WINE_RUN WIN_BIN: the end-to-end tests of the native build,
# driving the Windows client of WIN_BIN under Wine. Exit code 77 (skipped) when the native
# build is not there.
native_bin=$1 wine_run=$2 win_bin=$3
for program in qrnv_e2e_service_tests qrnv-service; do
  if [ ! -x "$native_bin/$program" ]; then
    echo "SKIPPED: $native_bin/$program is missing; build the native preset first" \
         "(or configure with -DQRNV_NATIVE_BIN_DIR=...)"
    exit 77
  fi
done
if [ -z "${WINEPREFIX:-}" ]; then
  echo "SKIPPED: WINEPREFIX is not set"
  exit 77
fi
exec "$native_bin/qrnv_e2e_service_tests" --wine-run "$wine_run" --win-bin "$win_bin"
