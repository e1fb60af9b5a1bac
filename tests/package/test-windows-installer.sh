#!/usr/bin/env bash
# Runs the Windows installer from dist/ silently under Wine in a fresh prefix and
# a private Xvfb with an XEmbed tray: checks the files, the Start-menu shortcut
# and the uninstall entry, starts quorvel.exe from the install and sees its icon
# dock, installs again over the running copy (which must end), and uninstalls
# silently: everything goes but the settings, and the Run value only when it
# names this copy.
set -euo pipefail
cd "$(dirname "$0")/../.."
setup=$(ls "$PWD"/dist/quorvel-*-setup.exe | head -1)
version=$(basename "$setup" | sed -e 's/^quorvel-//' -e 's/-setup.exe$//')
wine=/usr/lib/wine/wine64
work=$(mktemp -d /tmp/quorvel-installer.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d"
pids=()
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...: one result line per check
  if "${@:2}"; then echo "ok: $1"; passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
reg_value() {  # reg_value KEY NAME: the value's data, empty when absent
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^  /, ""); print }'
}
icon_docked() {  # one of Wine's tray icons is docked in trayer's panel
  xwininfo -root -tree 2>/dev/null | grep -q -E '^ {11,}0x[0-9a-f]+ .*\("explorer.exe" "explorer.exe"\)'
}
wait_for() {  # wait_for SECONDS COMMAND...: true once COMMAND holds
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do "${@:2}" && return 0; sleep 0.25; done
  return 1
}

display=:$((300 + RANDOM % 200))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
"$wine" wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 & pids+=($!)
wineserver -p 2>/dev/null || true
"$wine" wineboot -u </dev/null >/dev/null 2>&1

# Wine names the user's folder after the Unix user.
user=$(id -un)
programs=$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Quorvel
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"
install_dir="C:\\users\\$user\\AppData\\Local\\Programs\\Quorvel"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Ombrask\Quorvel'
# Settings from an earlier install, with no account: they must survive.
"$wine" reg add "$settings_key" /v Interval /t REG_DWORD /d 7 /f >/dev/null 2>&1

echo "== install $(basename "$setup") =="
status=0; "$wine" "$setup" /S </dev/null >/dev/null 2>&1 || status=$?
check "installer exit status 0" test "$status" -eq 0
for f in quorvel.exe quorvel-check.exe LICENSE.txt uninstall.exe; do check "installed $f" test -s "$programs/$f"; done
check "Start-menu shortcut" test -s "$shortcut"
check "uninstall entry: version" test "$(reg_value "$uninstall_key" DisplayVersion)" = "$version"
check "uninstall entry: publisher" test "$(reg_value "$uninstall_key" Publisher)" = "Ombrask"
check "uninstall entry: icon" test "$(reg_value "$uninstall_key" DisplayIcon)" = "$install_dir\\quorvel.exe,0"
check "uninstall entry: quiet uninstall" test "$(reg_value "$uninstall_key" QuietUninstallString)" = "\"$install_dir\\uninstall.exe\" /S"

echo "== quorvel.exe from the install =="
"$wine" "$install_dir\\quorvel.exe" </dev/null >/dev/null 2>&1 & running=$!; pids+=("$running")
check "its status icon docks" wait_for 20 icon_docked
import -window root "${TMPDIR:-/tmp}/quorvel-installed-tray.png" 2>/dev/null || true

echo "== install again over the running copy =="
status=0; "$wine" "$setup" /S </dev/null >/dev/null 2>&1 || status=$?
check "upgrade exit status 0" test "$status" -eq 0
check "the running copy was asked to end and ended" wait_for 10 bash -c "! kill -0 $running 2>/dev/null"
check "the program is still installed" test -s "$programs/quorvel.exe"

# Uninstalls twice: once with a Run value naming this copy (removed), once
# with one naming another program (kept).
for run_value in "\"$install_dir\\quorvel.exe\"" 'C:\Other\quorvel.exe'; do
  echo "== uninstall with the Run value $run_value =="
  [ -s "$programs/uninstall.exe" ] || "$wine" "$setup" /S </dev/null >/dev/null 2>&1
  "$wine" "$install_dir\\quorvel.exe" </dev/null >/dev/null 2>&1 & running=$!; pids+=("$running")
  wait_for 20 icon_docked || true
  "$wine" reg add "$run_key" /v Quorvel /t REG_SZ /d "$run_value" /f >/dev/null 2>&1
  "$wine" "$install_dir\\uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
  # The uninstaller runs from a copy of itself in the temporary folder.
  check "program folder removed" wait_for 30 test ! -e "$programs"
  check "running copy ended" wait_for 10 bash -c "! kill -0 $running 2>/dev/null"
  check "shortcut removed" test ! -e "$shortcut"
  check "uninstall entry removed" test -z "$(reg_value "$uninstall_key" DisplayName)"
  check "settings kept" test "$(reg_value "$settings_key" Interval)" = "0x7"
  if [ "$run_value" = 'C:\Other\quorvel.exe' ]; then
    check "a Run value of another program kept" test "$(reg_value "$run_key" Quorvel)" = "$run_value"
  else
    check "the Run value of this copy removed" test -z "$(reg_value "$run_key" Quorvel)"
  fi
done
echo "installer: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
