# Sourced by the GUI test scripts: checks the display and makes a Wine prefix of their own,
# with the dialog's fonts, in WINEPREFIX; it goes at exit. Returns 77 (skip) without a display.
# The CJK font link changes the dialog font's metrics, so every screenshot of a run is taken
# with the same settings, and no other test sees the link.
if [ -z "${DISPLAY:-}" ]; then
  echo "SKIPPED: GUI tests need an X display and DISPLAY is not set (scripts/test starts Xvfb for them)"
  return 77
fi
if ! xdpyinfo >/dev/null 2>&1; then
  echo "SKIPPED: GUI tests need an X display and DISPLAY=$DISPLAY cannot be opened"
  return 77
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
cjk_font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
wine_fonts=/usr/share/wine/fonts
[ -f "$cjk_font" ] || echo "WARNING: $cjk_font missing (scripts/setup installs fonts-ipafont-gothic): Japanese shows as boxes in the screenshots"
[ -f "$wine_fonts/tahoma.ttf" ] || echo "WARNING: $wine_fonts/tahoma.ttf missing (scripts/setup installs fonts-wine): the dialog font falls back to another face"

prefix=$(mktemp -d /tmp/qrnv-gui-wine.XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
gui_prefix_cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap gui_prefix_cleanup EXIT
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
return 0
