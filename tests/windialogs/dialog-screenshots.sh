#!/usr/bin/env bash
# Pictures of the Windows dialogs under Wine with Japanese glyphs, at 96, 144
# and 192 dpi: runs windialog_tests.exe of a Windows build (default
# build-windows/) with QUORVEL_DIALOG_SHOTS in a private Xvfb and a Wine
# prefix of its own (<build>/wineprefix-shots), where the Japanese fonts the
# dialogs ask for are replaced by IPAGothic and Wine draws the window frames
# itself. Writes <dpi>/<dialog>.png under the folder given second (default
# $TMPDIR/quorvel-dialogs).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
out=${2:-${TMPDIR:-/tmp}/quorvel-dialogs}
test=$build/tests/windialogs/windialog_tests.exe
[ -f "$test" ] || { echo "dialog-screenshots.sh: build $test first (scripts/build-windows.sh)" >&2; exit 1; }

wine=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/$build/wineprefix-shots"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d"
export WINEARCH=win64
. scripts/xvfb.sh
start_xvfb 1600x1200x24  # room for the tallest dialog at 192 dpi
xvfb=$xvfb_pid
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

[ -f "$WINEPREFIX/system.reg" ] || { "$wine" wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ Ｐゴシック" "ＭＳ ゴシック"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAGothic /f </dev/null >/dev/null 2>&1
done
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
status=0
for dpi in 96 144 192; do
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  "$wine" wineboot -u </dev/null >/dev/null 2>&1
  mkdir -p "$out/$dpi"
  shots=$(cd "$out/$dpi" && pwd)
  QUORVEL_DIALOG_SHOTS="Z:${shots//\//\\}" timeout 300 "$wine" "$test" >"$out/$dpi/test.log" 2>&1 || status=$?
  for bmp in "$out/$dpi"/*.bmp; do
    convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
  done
  echo "$dpi dpi: $(tail -n 1 "$out/$dpi/test.log") -> $out/$dpi"
done
exit "$status"
