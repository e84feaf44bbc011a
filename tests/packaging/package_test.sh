#!/usr/bin/env bash
# Builds the Debian packages, checks what they hold, unpacks them into a
# throw-away root and starts the programs from there: each answers --help and
# --version, a module registers, the server serves a Unix socket, the unit
# files verify, the manual pages format and the completion offers commands.
# Exit 77 (skipped) when a packaging tool is missing.
set -euo pipefail
src=$1
build=$2
for tool in cpack dpkg-deb dpkg-shlibdeps help2man systemd-analyze man python3 readelf; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -f /usr/share/bash-completion/bash_completion ] || { echo "SKIP: bash-completion is not installed"; exit 77; }

work=$(mktemp -d /tmp/zyr-package-XXXXXX)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

ZYR_JOBS=2 "$src/scripts/package" "$build" >/dev/null
manager=$(ls "$build"/packages/zyr-security-manager_*.deb)
serverdeb=$(ls "$build"/packages/zyr-security-server_*.deb)
version=$(sed -n 's/.*kVersion\[\] = "\(.*\)";/\1/p' "$build/generated/ZyrVersion.h")
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)

# What each package holds, and nothing of the tests.
dpkg-deb -c "$manager" | awk '{print $NF}' | sed 's|^\./||' >"$work/manager.list"
dpkg-deb -c "$serverdeb" | awk '{print $NF}' | sed 's|^\./||' >"$work/server.list"
for f in usr/bin/zyr-security-manager usr/bin/zyrsec usr/bin/zyr-reg usr/bin/zyr-cache usr/bin/zyr-config \
         usr/bin/zyr-register "$libdir/zyr-security-manager/libzyrsnapin.so" \
         "$libdir/zyr-security-manager/libzyr_platform.so" "$libdir/zyr-security-manager/WELCOMEPAGE.HTML" \
         "$libdir/zyr-security-manager/GIF/IDR_GIF1.svg" usr/share/man/man1/zyrsec.1.gz usr/share/man/man8/zyr-register.8.gz \
         usr/share/bash-completion/completions/zyrsec etc/pam.d/zyr-security \
         usr/share/applications/com.tarnwick.ZyrSecurityManager.desktop \
         usr/share/icons/hicolor/scalable/apps/zyr-security-manager.svg; do
  grep -qx "$f" "$work/manager.list" || fail "zyr-security-manager lacks $f"
done
for f in usr/sbin/zyr-security-server "$libdir/zyr-security-server/libzyr_platform.so" \
         lib/systemd/system/zyr-security-server.service lib/systemd/system/zyr-security-server.socket \
         etc/zyr/security-server.conf etc/pam.d/zyr-security-server usr/share/man/man8/zyr-security-server.8.gz; do
  grep -qx "$f" "$work/server.list" || fail "zyr-security-server lacks $f"
done
! grep -E '_tests$|_bench$|_replay$|\.a$' "$work/manager.list" "$work/server.list" || fail "test programs packaged"
dpkg-deb -f "$manager" Depends | grep -q 'libc6' || fail "no computed dependencies"
dpkg-deb -f "$manager" Depends | grep -q 'libqt6widgets6' || fail "the console's Qt dependency is missing"
dpkg-deb -I "$serverdeb" conffiles | grep -qx /etc/zyr/security-server.conf || fail "configuration is no conffile"
dpkg-deb -I "$serverdeb" postrm | grep -q 'purge' || fail "postrm without purge"

root=$work/root
dpkg-deb -x "$manager" "$root"
dpkg-deb -x "$serverdeb" "$root"
unset LD_LIBRARY_PATH

# RUNPATH relative to the program, never into the build tree.
for f in "$root"/usr/bin/* "$root/usr/sbin/zyr-security-server" "$root/$libdir"/zyr-security-*/*.so; do
  ! readelf -d "$f" | grep -q "$build" || fail "$f points into the build tree"
done
for p in usr/bin/zyr-security-manager usr/bin/zyrsec usr/bin/zyr-reg usr/bin/zyr-cache usr/bin/zyr-config \
         usr/bin/zyr-register usr/sbin/zyr-security-server; do
  name=$(basename "$p")
  "$root/$p" --help >"$work/help" 2>&1 || fail "$name --help failed: $(cat "$work/help")"
  [ "$("$root/$p" --version)" = "$name $version" ] || fail "$name --version"
done

# A module registers from the unpacked root: it finds its libraries there.
export ZYR_REGISTRY_DIR=$work/registry
"$root/usr/bin/zyr-register" "$root/$libdir/zyr-security-manager/libzyrsnapin.so" >/dev/null ||
  fail "the snap-in does not register"

# The server on a Unix socket in a private folder; the socket goes at exit.
sock=$work/run/security.sock
mkdir -p "$work/run"
"$root/usr/sbin/zyr-security-server" --listen "unix:$sock" --db "$work/security.db" --log-level error \
  >"$work/server.out" &
server=$!
for _ in $(seq 1 100); do grep -q "^listening on unix:$sock" "$work/server.out" && break; sleep 0.1; done
grep -q "^listening on unix:$sock" "$work/server.out" || fail "the server did not listen on $sock"
[ "$(stat -c %a "$sock")" = 666 ] || fail "socket mode"
python3 - "$sock" <<'PY' || fail "no HTTP answer on the socket"
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
s.sendall(b"GET /zyr/security HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n")
sys.exit(0 if s.recv(64).startswith(b"HTTP/1.1 ") else 1)
PY
kill "$server"; wait "$server" || fail "the server did not stop cleanly"
server=""
[ ! -e "$sock" ] || fail "the socket file stayed"

# The unit files, with the server's path pointed into the unpacked root.
mkdir -p "$work/units"
sed "s|/usr/sbin/|$root/usr/sbin/|" "$root/lib/systemd/system/zyr-security-server.service" \
  >"$work/units/zyr-security-server.service"
cp "$root/lib/systemd/system/zyr-security-server.socket" "$work/units/"
grep -q "^ExecStart=$root/usr/sbin/zyr-security-server " "$work/units/zyr-security-server.service" ||
  fail "ExecStart does not name the installed server"
SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$work/units/zyr-security-server.service" \
  "$work/units/zyr-security-server.socket" 2>"$work/verify" || { cat "$work/verify" >&2; fail "systemd-analyze verify"; }
[ ! -s "$work/verify" ] || { cat "$work/verify" >&2; fail "systemd-analyze verify warns"; }

# Every manual page formats without a warning.
for page in "$root"/usr/share/man/man*/*; do
  MANWIDTH=80 man --warnings -l "$page" 2>"$work/man.err" >/dev/null || fail "man -l $page"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "warnings in $page"; }
done

# The completion offers the commands, from the unpacked zyrsec.
PATH=$root/usr/bin:$PATH bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  COMP_WORDS=(zyrsec ro); COMP_CWORD=1; COMP_LINE="zyrsec ro"; COMP_POINT=${#COMP_LINE}
  _zyrsec
  printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/zyrsec" >"$work/complete"
grep -qx role "$work/complete" && grep -qx roles "$work/complete" || fail "completion: $(cat "$work/complete")"
echo "packages: $(basename "$manager") $(basename "$serverdeb")"
