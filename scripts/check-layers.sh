#!/usr/bin/env bash
# Fails when the folders stop showing the layers: a toolkit header (Qt, or a
# Win32 user-interface header) included outside gui/, or a folder including
# one above it. Each folder may include itself and the ones listed for it:
#   core      the standard library only
#   net       core
#   settings  core, net
#   tray      core
#   app       core, net, settings, tray
#   gui       everything
# windows.h and shellapi.h are allowed below gui/ only in the *_win32 leaf
# files. With --self-test it plants violations in a scratch tree and fails
# unless each one is caught.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed_for() {
  case $1 in
    core) echo "core" ;;
    net) echo "core net" ;;
    settings) echo "core net settings" ;;
    tray) echo "core tray" ;;
    app) echo "core net settings tray app" ;;
  esac
}

# check ROOT: prints each violation, returns 1 when there is any.
check() {
  local root=$1 status=0 file layer line target allowed
  while IFS= read -r file; do
    layer=${file%%/*}
    allowed=$(allowed_for "$layer")
    while IFS= read -r line; do
      if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*|qt[a-z]*/) ]]; then
        echo "$file: a Qt header below gui/: $line"; status=1
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(commctrl|commdlg|shlobj|uxtheme|mmsystem|windowsx|richedit)\.h\> ]]; then
        echo "$file: a Win32 user-interface header below gui/: $line"; status=1
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(windows|shellapi)\.h\> ]] && [[ $file != *_win32.* ]]; then
        echo "$file: $line outside a *_win32 leaf file"; status=1
      elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([a-z]+)/ ]]; then
        target=${BASH_REMATCH[1]}
        case $target in
          core | net | settings | tray | app | gui)
            if [[ " $allowed " != *" $target "* ]]; then
              echo "$file: $layer/ includes from $target/: $line"; status=1
            fi ;;
        esac
      fi
    done <"$root/$file"
  done < <(cd "$root" && find core net settings tray app -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) 2>/dev/null | sort)
  return $status
}

if [ "${1:-}" = "--self-test" ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch"/{core,net,settings,tray,app}
  plant() {  # plant FILE LINE: the check must fail on it alone
    rm -rf "${scratch:?}"/*/*
    printf '%s\n' "$2" >"$scratch/$1"
    if check "$scratch" >/dev/null; then echo "check-layers: missed $1: $2" >&2; exit 1; fi
  }
  plant app/Widget.cpp '#include <QWidget>'
  plant tray/Icon.h '#include <QtGui/QIcon>'
  plant net/Box.cpp '#include <commctrl.h>'
  plant settings/Store.cpp '#include <windows.h>'
  plant settings/Report.cpp '#include "app/ErrorReport.h"'
  plant tray/Shell.h '#include "gui/qt/QtTrayShell.h"'
  plant core/Text.cpp '#include "net/EventLoop.h"'
  plant tray/Check.cpp '#include "settings/Account.h"'
  rm -rf "${scratch:?}"/*/*
  printf '#include <windows.h>\n#include "core/Exception.h"\n' >"$scratch/net/Calls_win32.cpp"
  check "$scratch" >/dev/null || { echo "check-layers: refused a sound leaf file" >&2; exit 1; }
  echo "check-layers: every planted violation was caught"
  exit 0
fi

check . || { echo "check-layers: the layers are broken (scripts/check-layers.sh)" >&2; exit 1; }
