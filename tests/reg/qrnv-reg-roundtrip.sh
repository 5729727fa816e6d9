#!/usr/bin/env bash
# Round trip through qrnv-reg: what a test or the demo sets (DebugUrl_v2, Debug) and what it
# reads back (UpdateResult, UpdateResultString), in reg.exe's notation and layout.
# Usage: qrnv-reg-roundtrip.sh path/to/qrnv-reg
set -u
reg=$1
root=$(mktemp -d "${TMPDIR:-/tmp}/qrnv-reg-test.XXXXXX")
trap 'rm -rf "$root"' EXIT
export QRNV_REGISTRY_ROOT=$root
failures=0
key='HKCU\Software\Quarn\Quarn Renova\Quarn Tool'

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect_run NAME EXPECTED_EXIT EXPECTED_STDOUT -- command...: runs it, compares exit and stdout.
expect_run() {
  local name=$1 want_rc=$2 want_out=$3
  shift 4
  local out rc
  out=$("$@" 2>"$root/stderr")
  rc=$?
  [ "$rc" -eq "$want_rc" ] || fail "$name: exit $rc, expected $want_rc ($(cat "$root/stderr"))"
  [ "$out" == "$want_out" ] || fail "$name: stdout was"$'\n'"$out"$'\n'"expected"$'\n'"$want_out"
}

ok='The operation completed successfully.'
expect_run "add text" 0 "$ok" -- "$reg" add "$key" /v DebugUrl_v2 /t REG_SZ /d 'http://127.0.0.1:8080/svc x' /f
expect_run "add number" 0 "$ok" -- "$reg" add "$key\\1.2.3" /v UpdateResult /t REG_DWORD /d 1 /f
expect_run "add hex number" 0 "$ok" -- "$reg" add 'HKEY_CURRENT_USER\Software\Quarn\Quarn Renova' /v Debug /t REG_DWORD /d 0x1A /f
expect_run "add default type" 0 "$ok" -- "$reg" add "$key\\1.2.3" /v UpdateResultString /d 'Update verfügbar' /f

expect_run "query one text" 0 $'\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\\Quarn Tool\n    DebugUrl_v2    REG_SZ    http://127.0.0.1:8080/svc x' \
  -- "$reg" query "$key" /v DebugUrl_v2
expect_run "query ignores case" 0 $'\nHKEY_CURRENT_USER\\software\\quarn\\quarn renova\\quarn tool\\1.2.3\n    UpdateResult    REG_DWORD    0x1' \
  -- "$reg" query 'hkcu\software\quarn\quarn renova\quarn tool\1.2.3' /v UpdateResult
expect_run "query key" 0 $'\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\\Quarn Tool\\1.2.3\n    UpdateResult    REG_DWORD    0x1\n    UpdateResultString    REG_SZ    Update verfügbar' \
  -- "$reg" query "$key\\1.2.3"
expect_run "query lists values then sub-keys" 0 $'\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\n    Debug    REG_DWORD    0x1a\n\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\\Quarn Tool' \
  -- "$reg" query 'HKCU\Software\Quarn\Quarn Renova'

expect_run "missing value" 1 "" -- "$reg" query "$key" /v UpdateResult
grep -q '^ERROR: ' "$root/stderr" && [ "$(wc -l <"$root/stderr")" -eq 1 ] || fail "missing value: no one-line error on stderr"
expect_run "missing key" 1 "" -- "$reg" query 'HKCU\Software\Nobody'
expect_run "hives are apart" 1 "" -- "$reg" query 'HKLM\Software\Quarn\Quarn Renova\Quarn Tool'
expect_run "bad number" 1 "" -- "$reg" add "$key" /v N /t REG_DWORD /d 12x /f
expect_run "number too large" 1 "" -- "$reg" add "$key" /v N /t REG_DWORD /d 4294967296 /f
expect_run "unknown type" 1 "" -- "$reg" add "$key" /v N /t REG_BINARY /d 00 /f
expect_run "unknown hive" 1 "" -- "$reg" query 'HKCR\Software'

# Overwriting and deleting without /f ask first; no answer declines.
expect_run "overwrite declined" 1 "Value Debug exists, overwrite (Yes/No)? " -- "$reg" add 'HKCU\Software\Quarn\Quarn Renova' /v Debug /t REG_DWORD /d 0 </dev/null
printf 'yes\n' | expect_run "overwrite confirmed" 0 "Value Debug exists, overwrite (Yes/No)? $ok" -- "$reg" add 'HKCU\Software\Quarn\Quarn Renova' /v Debug /t REG_DWORD /d 0
expect_run "overwritten" 0 $'\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\n    Debug    REG_DWORD    0x0' -- "$reg" query 'HKCU\Software\Quarn\Quarn Renova' /v Debug

expect_run "delete value" 0 "$ok" -- "$reg" delete "$key\\1.2.3" /v UpdateResult /f
expect_run "deleted value is gone" 1 "" -- "$reg" query "$key\\1.2.3" /v UpdateResult
expect_run "other value stays" 0 $'\nHKEY_CURRENT_USER\\Software\\Quarn\\Quarn Renova\\Quarn Tool\\1.2.3\n    UpdateResultString    REG_SZ    Update verfügbar' \
  -- "$reg" query "$key\\1.2.3" /v UpdateResultString
expect_run "delete key" 0 "$ok" -- "$reg" delete "$key" /f
expect_run "deleted key is gone" 1 "" -- "$reg" query "$key\\1.2.3"
expect_run "delete missing key" 1 "" -- "$reg" delete "$key" /f

[ -f "$root/HKCU.db" ] || fail "no HKCU.db in QRNV_REGISTRY_ROOT"
[ ! -e "$root/HKLM.db" ] || fail "HKLM.db written by user-hive operations"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "qrnv-reg round trip: all checks passed"
