# shellcheck shell=bash
# Sourced by the scripts that need a private X display. start_xvfb WxHxD
# starts Xvfb on a display that Xvfb picks itself (-displayfd: two runs at
# once never take the same one), returns once it serves it and sets DISPLAY
# and xvfb_pid. Fails when Xvfb has not started within 30 s. -noreset: the
# server does not reset (closing whoever connects meanwhile) each time its
# last client leaves, as the short-lived Wine tools and xdotool often are.
start_xvfb() {
  local folder number=""
  folder=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-xvfb.XXXXXX")
  mkfifo -m 600 "$folder/display"
  Xvfb -displayfd 3 -noreset -screen 0 "$1" -nolisten tcp 3>"$folder/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 30 number <"$folder/display" || true
  rm -rf "$folder"
  if [ -z "$number" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}
