#!/usr/bin/env bash
# Runs the GUI flows of the dialog window under Wine on the X display in DISPLAY, in English,
# German and Japanese, and keeps a screenshot of every display in the output folder.
# usage: run-gui-tests.sh <qrnv_gui_driver.exe> <qrnv_gui_subject.exe> <output folder>
# Exits 77 (skipped) only when there is no display to run on.
set -u
driver=$1
subject=$2
output=$3

if [ -z "${DISPLAY:-}" ]; then
  echo "SKIPPED: GUI tests need an X display and DISPLAY is not set (scripts/test starts Xvfb for them)"
  exit 77
fi
if ! xdpyinfo >/dev/null 2>&1; then
  echo "SKIPPED: GUI tests need an X display and DISPLAY=$DISPLAY cannot be opened"
  exit 77
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
cjk_font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
wine_fonts=/usr/share/wine/fonts
[ -f "$cjk_font" ] || echo "WARNING: $cjk_font missing (scripts/setup installs fonts-ipafont-gothic): Japanese shows as boxes in the screenshots"
[ -f "$wine_fonts/tahoma.ttf" ] || echo "WARNING: $wine_fonts/tahoma.ttf missing (scripts/setup installs fonts-wine): the dialog font falls back to another face"

# A prefix of their own: the CJK font link changes the dialog font's metrics, so every
# screenshot of a run is taken with the same settings, and no other test sees the link.
prefix=$(mktemp -d /tmp/qrnv-gui-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
"$wine" wineboot -i >/dev/null 2>&1 </dev/null
# The dialog font "MS Shell Dlg" stands for Tahoma. Debian's Wine does not find the Tahoma
# of fonts-wine by itself; in the prefix's font folder it does. Without it the link below
# would turn the whole dialog into the Japanese face.
cp "$wine_fonts"/tahoma*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null
# Japanese glyphs come from IPA Gothic through the font link, for the bold face too (the
# version label and the header's title are bold).
for face in Tahoma "Tahoma Bold"; do
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$face" /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1 </dev/null
done
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w >/dev/null 2>&1
"$wineserver" -p >/dev/null 2>&1 </dev/null

rm -rf "$output"
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
