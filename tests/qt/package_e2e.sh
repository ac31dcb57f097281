#!/bin/sh
# The Debian package: built with cpack, its metadata, contents and lintian's verdict; the
# installed program run from a bin/ it cannot write, so the alarm lands in ~/.config/tollora.
# usage: package_e2e.sh <linux build folder>
set -eu
build=$1
. "$(dirname "$0")/session.sh"
skip_without cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli
cleanup_more='chmod -R u+w "$work" 2>/dev/null'

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/tollora_${version}_amd64.deb
rm -f "$deb"
(cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack -G DEB"; }

field() { dpkg-deb -f "$deb" "$@"; }
[ "$(field Package Version Architecture Section)" = "$(printf 'Package: tollora\nVersion: %s\nArchitecture: amd64\nSection: utils' "$version")" ] ||
  fail "metadata: $(field Package Version Architecture Section)"
for needed in libc6 libqt6widgets6 libqt6gui6 libqt6core6 libcanberra0; do
  field Depends | grep -q "\\b$needed\\b" || fail "Depends lacks $needed: $(field Depends)"
done

dpkg-deb -c "$deb" >"$work/listing"
awk '$1 !~ /^d/ {print $6}' "$work/listing" | sort >"$work/files"
{
  for size in 16 24 32 48 64 128 256; do echo ./usr/share/icons/hicolor/${size}x${size}/apps/org.example.Tollora.png; done
  printf './usr/%s\n' bin/tollora share/applications/org.example.Tollora.desktop share/metainfo/org.example.Tollora.metainfo.xml \
    share/doc/tollora/changelog.gz share/doc/tollora/copyright share/man/man1/tollora.1.gz share/tollora/beep.wav
} | sort >"$work/expected"
diff "$work/expected" "$work/files" || fail "the package's files differ from the expected ones"

lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || { grep -v 'running with root privileges' "$work/lintian"; fail "lintian"; }

root=$work/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.example.Tollora.desktop" || fail "the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.Tollora.metainfo.xml" || fail "the software centre's entry"

# For root, a read-only bind mount in a mount namespace of the program's own.
if [ "$(id -u)" -eq 0 ]; then
  unshare -m true 2>/dev/null || { echo "SKIP: running as root without mount namespaces"; exit 77; }
  set -- unshare -m sh -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && shift && exec "$@"' sh \
    "$root/usr" "$root/usr/bin/tollora"
else
  chmod -R a-w "$root/usr"
  set -- "$root/usr/bin/tollora"
fi

start_session
# As shipped, with no test hook: seen by its window and the file its "Set Alarm" writes.
env -u XDG_CONFIG_HOME LC_ALL=C "$@" >"$out" 2>&1 &
app=$!
pids="$app $pids"
until_true 10 '[ -n "$(main_window $app)" ]' || fail "no window from the installed program"
win=$(main_window $app)
alarm="12/24/2030 7:30:00 AM"
own=$HOME/.config/tollora
saved() { printf '[ALARM]\r\nTime=%s\r\nTimeBAK=\r\n' "$alarm" | cmp -s - "$own/alarm.ini"; }
# A window just shown may not take keys yet: a few tries.
for _ in 1 2 3; do
  click_in "$win" 143 21  # the alarm box
  xdotool key ctrl+a type --delay 20 "$alarm"
  click_in "$win" 225 48  # Set Alarm
  until_true 5 saved && break
done
saved || fail "$own/alarm.ini does not hold the alarm"
[ "$(stat -c %a "$own")" = 700 ] || fail "$own is not private: $(stat -c %a "$own")"
! grep -q TOLLORA_TEST_STATE "$root/usr/bin/tollora" || fail "the installed program carries the test hook"
echo "PASS"
