#!/usr/bin/env bash
# Installs the Debian package from dist/, checks what it put in place, checks a
# mailbox of a Dovecot on 127.0.0.1 with /usr/bin/quorvel-check, starts
# /usr/bin/quorvel under Xvfb with an XEmbed tray and sees its icon dock, then
# removes the package and checks that nothing is left. Run as root.
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=$(ls dist/quorvel_*_amd64.deb | head -1)
work=$(mktemp -d /tmp/quorvel-deb.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -f "$work/mail/run/master.pid" ] && kill "$(cat "$work/mail/run/master.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...: one result line per check
  if "${@:2}"; then echo "ok: $1"; passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

echo "== metadata =="
for p in lintian appstream desktop-file-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" >/dev/null
done
lintian --tag-display-limit 0 "$deb" 2>/dev/null | tee "$work/lintian.txt" || true
check "lintian reports no error" bash -c "! grep -q '^E:' '$work/lintian.txt'"
check "AppStream metadata valid" appstreamcli validate --no-net resources/linux/example.ombrask.Quorvel.metainfo.xml
check "desktop entry valid" desktop-file-validate resources/quorvel.desktop

echo "== install $deb =="
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "./$deb" >"$work/install.log"
for f in /usr/bin/quorvel /usr/bin/quorvel-check /usr/share/applications/quorvel.desktop \
         /usr/share/metainfo/example.ombrask.Quorvel.metainfo.xml /usr/share/icons/hicolor/scalable/apps/quorvel.svg \
         /usr/share/icons/hicolor/22x22/apps/quorvel.png /usr/share/doc/quorvel/copyright; do
  check "installed $f" test -s "$f"
done
for page in quorvel quorvel-check; do
  # The page as man shows it (straight from the package, in case this system
  # leaves manual pages out of installs).
  check "manual page $page" bash -c "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/share/man/man1/$page.1.gz | zcat | man -l - 2>/dev/null | grep -q '^NAME'"
done
check "quorvel-check --help" bash -c "/usr/bin/quorvel-check --help | grep -q -- --ca-file"

echo "== quorvel-check against Dovecot =="
mail=$work/mail
mkdir -p "$mail"/{run,state,home/alice/Maildir/{cur,new,tmp}}
chmod 755 "$work" "$mail" "$mail/home"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
       shuf -i 20000-60000 -n 1)
echo "alice:{PLAIN}secret:65534:65534::$mail/home/alice" >"$mail/passwd"
cat >"$mail/dovecot.conf" <<CONF
base_dir = $mail/run
state_dir = $mail/state
log_path = $mail/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
mail_location = maildir:~/Maildir
mail_uid = 65534
mail_gid = 65534
first_valid_uid = 1
first_valid_gid = 1
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $mail/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%u $mail/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
}
CONF
for i in 1 2 3; do
  printf 'From: bob@example.com\r\nSubject: %s\r\n\r\nHello\r\n' "$i" >"$mail/home/alice/Maildir/new/100$i.M1P1.test"
done
chown -R 65534:65534 "$mail/home"
/usr/sbin/dovecot -c "$mail/dovecot.conf"
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

scramble() {  # the stored form of a password
  local hex
  hex=$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F | rev)
  printf '%s' "$hex" | od -An -tx1 | tr -d ' \n' | tr a-f A-F | rev
}
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Quorvel" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/Quorvel/registry.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel]
"Interval"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Ombrask\\Quorvel\\Accounts\\0]
"Host"="127.0.0.1"
"PortNo"=dword:$(printf '%08x' "$port")
"UserID"="alice"
"Password"="$(scramble secret)"
"Enabled"="1"
REG
chmod 600 "$XDG_CONFIG_HOME/Quorvel/registry.reg"
out=$(timeout 90 /usr/bin/quorvel-check 2>&1) && status=0 || status=$?
echo "$out"
check "quorvel-check counts the mailbox" test "$out" = "alice@127.0.0.1: 3"
check "quorvel-check exit status 0" test "$status" -eq 0

echo "== quorvel on Xvfb with an XEmbed tray =="
display=:$((600 + RANDOM % 300))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 & pids+=($!)
sleep 1
/usr/bin/quorvel >"$work/quorvel.log" 2>&1 & quorvel=$!; pids+=("$quorvel")
docked=0
for _ in $(seq 100); do
  # The status and new-mail icons dock into trayer as two child windows.
  docked=$(xwininfo -root -tree 2>/dev/null | grep -c -i '"quorvel"' || true)
  [ "$docked" -ge 2 ] && break
  sleep 0.2
done
import -window root "${TMPDIR:-/tmp}/quorvel-deb-xembed.png" 2>/dev/null || true
check "two icons docked (status and new mail)" test "$docked" -ge 2
kill -TERM "$quorvel"
status=0; wait "$quorvel" || status=$?
check "quorvel ends with exit status 0 on SIGTERM" test "$status" -eq 0

echo "== remove =="
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quorvel >"$work/remove.log"
for f in /usr/bin/quorvel /usr/bin/quorvel-check /usr/share/applications/quorvel.desktop \
         /usr/share/metainfo/example.ombrask.Quorvel.metainfo.xml /usr/share/doc/quorvel; do
  check "removed $f" test ! -e "$f"
done
check "dpkg no longer knows the package" bash -c "! dpkg-query -W -f='\${Status}' quorvel 2>/dev/null | grep -q installed"
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
