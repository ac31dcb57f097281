#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine: builds the windows preset and a small
# driver, then runs the driver against tollora.exe in a fresh Wine prefix on a private Xvfb
# display. Run from the repository root. The last line is the summary.
set -uo pipefail

root=$(pwd)
build=$root/build/windows
shots=$build/screenshots
passed=0 failed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "PASS $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
finish() { echo "wine-e2e: $passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

work=$(mktemp -d /tmp/tollora-wine.XXXXXX)
mounted=
. "$root/tools/xdisplay.sh"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko prompts, and no sound drivers: the program must cope without a device.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
cleanup() {
  [ -n "$xdisplay_pids" ] && { wineserver -k; wineserver -w; } 2>/dev/null
  xdisplay_stop
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the program, its package and the driver --------------------------------------------------
check "the windows preset builds" eval 'cmake --preset windows >"$work/build.log" 2>&1 && cmake --build "$build" -j2 >>"$work/build.log" 2>&1' ||
  { tail -30 "$work/build.log"; finish; }
exe=$build/tollora.exe
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort | tr '\n' ' ')
foreign=$(tr ' ' '\n' <<<"$imports" | grep -vxE '(kernel32|advapi32|user32|gdi32|comctl32|uxtheme|winmm|ole32|shell32|msvcrt)\.dll|')
check "tollora.exe imports only Windows' own DLLs ($imports)" test -z "$foreign"
zip=$build/tollora-1.1.0-windows-x64.zip
check "the zip holds tollora.exe, beep.wav, readme.txt, the readme in Windows line ends" \
  test "$(unzip -Z1 "$zip" 2>/dev/null | sort | tr '\n' ' ')$(unzip -p "$zip" readme.txt | grep -cv $'\r$')" = "beep.wav readme.txt tollora.exe 0"
check "the driver builds" x86_64-w64-mingw32-g++ -std=c++20 -Os -s -municode -static -Wall -Wextra -Wno-missing-field-initializers -o "$work/driver.exe" \
  tests/win32/driver.cpp -loleacc -loleaut32 -lole32 -luuid -lgdi32 2>"$work/driver.log" || { cat "$work/driver.log"; finish; }

# --- display, window manager, prefix ----------------------------------------------------------
# Its small screen (1024x768): at 192 dpi a failed save's message beside the main window must
# be narrower. No trayer: the driver clicks the icon in Wine's own tray window.
check "a virtual display with a window manager" xdisplay_start "$work" || finish
wine wineboot -i >"$work/wineboot.log" 2>&1
wineserver -w
# Debian's Wine leaves a new prefix without its own fonts (Tahoma, MS Sans Serif, Marlett).
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
# Wine draws the title bar itself (evilwm draws none), and the colours are Windows 10's
# defaults, where Wine's own make the scroll-bar grey white.
{
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
  wine reg add 'HKCU\Control Panel\Colors' /v Scrollbar /d '200 200 200' /f
  wine reg add 'HKCU\Control Panel\Colors' /v ButtonFace /d '240 240 240' /f
} >>"$work/wineboot.log" 2>&1
wineserver -w
check "a fresh Wine prefix" test -d "$WINEPREFIX/drive_c/windows" || finish
ln -s ../drive_c "$WINEPREFIX/dosdevices/t:"  # a second drive letter for drive C:, as subst makes

# The program three times: a plain folder, one whose alarm.ini is a symbolic link (Wine shows
# it as a plain file) to a file in another folder, and one the user cannot write, as
# C:\Program Files is. Root writes anywhere, so for root that is a read-only bind mount.
c=$WINEPREFIX/drive_c
mkdir -p "$shots" "$c/shots" "$c/tollora" "$c/linked/kept" "$c/readonly"
for folder in tollora linked readonly; do cp "$exe" "$build/beep.wav" "$c/$folder/"; done
printf '[ALARM]\r\nTime=linked\r\nTimeBAK=note\r\n' >"$c/linked/kept/alarm.ini"
ln -s kept/alarm.ini "$c/linked/alarm.ini"
readonly_arg='C:\readonly'
if [ "$(id -u)" -ne 0 ]; then
  chmod a-w "$c/readonly"
elif mount --bind "$c/readonly" "$c/readonly" 2>/dev/null && mounted=$c/readonly; then
  mount -o remount,bind,ro "$c/readonly" || readonly_arg=
else
  readonly_arg=
fi
[ -n "$readonly_arg" ] || echo "note: no read-only bind mount here; the read-only program folder is not tried"

# --- the driver -------------------------------------------------------------------------------
wine "$work/driver.exe" 'C:\tollora' 'C:\shots' 'C:\linked' $readonly_arg 2>"$work/driver-run.log" | tee "$work/driver.out"
grep -q '^driver: ' "$work/driver.out" || { failed=$((failed + 1)); echo "FAIL the driver finished"; cat "$work/driver-run.log"; }
passed=$((passed + $(grep -c '^PASS ' "$work/driver.out"))) failed=$((failed + $(grep -c '^FAIL ' "$work/driver.out")))
check "the linked alarm.ini is still a link" test "$(readlink "$c/linked/alarm.ini")" = kept/alarm.ini
for name in main fired; do check "screenshot windows-$name.png" convert "$c/shots/windows-$name.bmp" -alpha off "$shots/windows-$name.png"; done
finish
