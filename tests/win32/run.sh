#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine: builds the windows preset and a small
# driver, then runs the driver's scenario against tollora.exe in a fresh Wine prefix on a
# private Xvfb display. Run from the repository root. The last line is the summary.
set -uo pipefail

root=$(pwd)
build=$root/build/windows
shots=$build/screenshots
passed=0
failed=0

pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
summary() { echo "wine-e2e: $passed passed, $failed failed"; }

work=$(mktemp -d /tmp/tollora-wine.XXXXXX)
display=
xvfb_pid=
wm_pid=
watcher_pid=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko prompts, and no sound drivers: the program must cope without a device.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="

mounted=
cleanup() {
  [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
  [ -n "$display" ] && { wineserver -k; wineserver -w; } 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- build ----------------------------------------------------------------------------------
if cmake --preset windows >"$work/configure.log" 2>&1 && cmake --build "$build" -j2 >"$work/build.log" 2>&1; then
  pass "the windows preset builds"
else
  fail "the windows preset builds"; tail -30 "$work/configure.log" "$work/build.log"; summary; exit 1
fi
exe=$build/tollora.exe
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort | tr '\n' ' ')
foreign=$(echo "$imports" | tr ' ' '\n' | grep -v -x -E 'kernel32.dll|advapi32.dll|user32.dll|gdi32.dll|comctl32.dll|uxtheme.dll|winmm.dll|ole32.dll|shell32.dll|msvcrt.dll|' || true)
[ -z "$foreign" ] && pass "tollora.exe imports only Windows' own DLLs ($imports)" || fail "foreign DLL imports: $foreign"
zip=$build/tollora-1.1.0-windows-x64.zip
listing=$(unzip -Z1 "$zip" 2>/dev/null | sort | tr '\n' ' ')
[ "$listing" = "beep.wav readme.txt tollora.exe " ] && pass "the zip holds tollora.exe, beep.wav, readme.txt" || fail "zip contents: $listing"
echo "figure: tollora.exe $(stat -c %s "$exe") bytes, zip $(stat -c %s "$zip") bytes"

driver=$work/driver.exe
if x86_64-w64-mingw32-g++ -std=c++20 -Os -s -municode -static -Wall -Wextra -o "$driver" tests/win32/driver.cpp -lpsapi -loleacc -loleaut32 -lole32 -luuid 2>"$work/driver.log"; then
  pass "the driver builds"
else
  fail "the driver builds"; cat "$work/driver.log"; summary; exit 1
fi

# --- display, window manager, prefix --------------------------------------------------------
for n in 91 92 93 94 95 96 97 98 99; do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
  xvfb_pid=
done
[ -n "$display" ] || { fail "a free X display in :91..:99"; summary; exit 1; }
export DISPLAY=$display
# Without a window manager Wine waits about 2 s on each DestroyWindow and NIM_DELETE.
evilwm >"$work/evilwm.log" 2>&1 &
wm_pid=$!

started=$(date +%s)
wine wineboot -i >"$work/wineboot.log" 2>&1
wineserver -w
# Debian's Wine leaves a new prefix without its own fonts (Tahoma, MS Sans Serif, Marlett),
# so everything would fall back to Liberation Sans.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
# Wine draws the title bar itself (evilwm draws none), and the colours are Windows 10's
# defaults, where Wine's own make the scroll-bar grey white.
{
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
  wine reg add 'HKCU\Control Panel\Colors' /v Scrollbar /d '200 200 200' /f
  wine reg add 'HKCU\Control Panel\Colors' /v ButtonFace /d '240 240 240' /f
} >>"$work/wineboot.log" 2>&1
wineserver -w
[ -d "$WINEPREFIX/drive_c/windows" ] && pass "a fresh Wine prefix ($(($(date +%s) - started)) s)" || { fail "wineboot"; summary; exit 1; }

app=$WINEPREFIX/drive_c/tollora
requests=$WINEPREFIX/drive_c/e2e
mkdir -p "$app" "$requests" "$shots"
cp "$exe" "$build/beep.wav" "$app/"
# What a save killed half-way leaves behind: the next save must clear it.
stale="$app/alarm.ini.tmp-4000000-0"
printf 'half a save' >"$stale"
cp "$driver" "$requests/driver.exe"

# Screenshots on the driver's request: <name>.req holds the window rectangle to crop to.
(
  while :; do
    for req in "$requests"/*.req; do
      [ -e "$req" ] || continue
      name=$(basename "$req" .req)
      read -r x y w h <"$req"
      xwd -root -display "$display" | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "png:$shots/windows-$name.png"
      rm -f "$req"
      touch "$requests/$name.done"
    done
    sleep 0.1
  done
) &
watcher_pid=$!

# A program folder the user cannot write, as C:\Program Files is. Root writes anywhere, so
# for root it is a read-only bind mount of its own, undone on exit.
readonly_app=$WINEPREFIX/drive_c/readonly
mkdir -p "$readonly_app"
cp "$exe" "$build/beep.wav" "$readonly_app/"
readonly_arg=
if [ "$(id -u)" -ne 0 ]; then
  chmod a-w "$readonly_app" && readonly_arg='C:\readonly'
elif mount --bind "$readonly_app" "$readonly_app" 2>/dev/null; then
  mounted=$readonly_app
  mount -o remount,bind,ro "$readonly_app" && readonly_arg='C:\readonly'
fi
[ -n "$readonly_arg" ] || echo "SKIP the read-only program folder: no read-only bind mount here"

# --- the scenario ---------------------------------------------------------------------------
(cd "$requests" && wine driver.exe 'C:\tollora' 'C:\e2e' $readonly_arg) 2>"$work/driver-run.log" | tee "$work/driver.out"
grep -q '^driver: ' "$work/driver.out" || { fail "the driver finished"; cat "$work/driver-run.log"; }
passed=$((passed + $(grep -c '^PASS ' "$work/driver.out")))
failed=$((failed + $(grep -c '^FAIL ' "$work/driver.out")))

[ ! -e "$stale" ] && pass "a save clears a killed save's temporary file" || fail "a save clears a killed save's temporary file"
[ -z "$(find "$app" -name 'alarm.ini.tmp-*')" ] && pass "no temporary files left" || fail "no temporary files left"

# A save through a symbolic link (Wine shows a Unix link as a plain file): the link stays
# and its target, in another folder, gets the alarm.
mkdir -p "$app/kept"
rm -f "$app/alarm.ini"
printf '[ALARM]\r\nTime=linked\r\nTimeBAK=note\r\n' >"$app/kept/alarm.ini"
ln -s kept/alarm.ini "$app/alarm.ini"
(cd "$requests" && wine driver.exe 'C:\tollora' 'C:\e2e' link) 2>>"$work/driver-run.log" | tee "$work/driver-link.out"
grep -q '^driver: ' "$work/driver-link.out" || { fail "the link driver finished"; cat "$work/driver-run.log"; }
passed=$((passed + $(grep -c '^PASS ' "$work/driver-link.out")))
failed=$((failed + $(grep -c '^FAIL ' "$work/driver-link.out")))
[ -L "$app/alarm.ini" ] && [ "$(readlink "$app/alarm.ini")" = kept/alarm.ini ] && pass "the link is still a link" || fail "the link is still a link"
grep -q '^Time=[0-9]' "$app/kept/alarm.ini" && pass "the link's target holds the new alarm" || fail "the link's target holds the new alarm"
[ -z "$(find "$app" -name 'alarm.ini.tmp-*')" ] && pass "no temporary files left by the save through the link" || fail "no temporary files left by the save through the link"

# alarm.ini held open without sharing by another program while Tollora starts.
rm -f "$app/alarm.ini"
(cd "$requests" && wine driver.exe 'C:\tollora' 'C:\e2e' held) 2>>"$work/driver-run.log" | tee "$work/driver-held.out"
grep -q '^driver: ' "$work/driver-held.out" || { fail "the held-file driver finished"; cat "$work/driver-run.log"; }
passed=$((passed + $(grep -c '^PASS ' "$work/driver-held.out")))
failed=$((failed + $(grep -c '^FAIL ' "$work/driver-held.out")))

for name in main fired; do
  if [ -s "$shots/windows-$name.png" ]; then
    pass "screenshot windows-$name.png"
  else
    fail "screenshot windows-$name.png"
  fi
done

summary
[ "$failed" -eq 0 ]
