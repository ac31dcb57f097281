#!/usr/bin/env bash
# Runs every benchmark and prints one table: clock exactness and alarm latency on the Linux
# and Windows (Wine) event loops, footprint beside a bare window of the same toolkit and
# beside other alarm clocks, and the Windows executable's size and imports. Takes about
# fifteen minutes. Figures only: nothing here fails because the machine was slow.
#   bench/run.sh [CLOCK_SECONDS [ALARMS]]     (CLOCK_SECONDS 0: footprint only)
set -uo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench || exit 1
clock_seconds=${1:-130} alarms=${2:-20}
jobs=$(nproc)

cmake -S . -B build/bench-linux -DTOLLORA_BACKEND=qt -DTOLLORA_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build build/bench-linux -j"$jobs" --target tollora tollora_clock_bench tollora_bare_qt tollora_xwait >/dev/null ||
  { echo "the Linux build failed"; exit 1; }
cmake --preset windows >/dev/null &&
  cmake --build --preset windows -j"$jobs" --target tollora tollora_bare_win32 tollora_clock_bench >/dev/null ||
  { echo "the Windows build failed"; exit 1; }

work=$(mktemp -d)
. tools/xdisplay.sh
# Each footprint run ends the processes it started; here only what this script started.
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  xdisplay_stop
  rm -rf "$work"
}
trap cleanup EXIT
xdisplay_start "$work" tray || exit 1
export XWAIT=$PWD/build/bench-linux/bench/tollora_xwait

# Each program runs from a folder of its own, as an installed copy would.
mkdir -p "$work/linux" "$work/qtbench"
cp build/bench-linux/ui/qt/tollora resources/beep.wav "$work/linux/"
cp build/bench-linux/bench/tollora_clock_bench resources/beep.wav "$work/qtbench/"

export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
wineboot -i >/dev/null 2>&1; wineserver -w
win=$WINEPREFIX/drive_c/tollora
mkdir -p "$win"
cp build/windows/tollora.exe build/windows/beep.wav build/windows/bench/tollora_bare_win32.exe \
   build/windows/bench/tollora_clock_bench.exe "$win/"

if [ "$clock_seconds" -gt 0 ]; then
  echo "## Clock exactness and alarm latency ($clock_seconds s of clock, $alarms alarms per loop)"
  echo
  echo "| loop   | what                     | p50 ms  | p99 ms  | max ms  | skipped | samples |"
  echo "|--------|--------------------------|---------|---------|---------|---------|---------|"
  "$work/qtbench/tollora_clock_bench" "$clock_seconds" "$alarms" 2>/dev/null | grep '^|'
  (cd "$win" && wine tollora_clock_bench.exe "$clock_seconds" "$alarms" 2>/dev/null | tr -d '\r' | grep '^|')
  echo
fi

echo "## Footprint (medians of ${RUNS:-5} runs; CPU over 60 s of waiting)"
echo
echo "| program                    | start ms | RSS MiB  | PSS MiB  | CPU ms/min |"
echo "|----------------------------|----------|----------|----------|-----------|"
bench/footprint.sh "Tollora (Linux, Qt)" "Tollora v1.1" tollora "$work/linux/tollora"
bench/footprint.sh "bare Qt window" "Bare Qt window" tollora_bare_qt build/bench-linux/bench/tollora_bare_qt
bench/footprint.sh "alarm-clock-applet" "Alarms" alarm-clock-app dbus-run-session -- alarm-clock-applet
bench/footprint.sh "gnome-clocks" "Clocks" gnome-clocks dbus-run-session -- gnome-clocks
(cd "$win" && "$OLDPWD/bench/footprint.sh" "Tollora (Windows, Wine)" "Tollora v1.1" tollora.exe wine tollora.exe)
(cd "$win" && "$OLDPWD/bench/footprint.sh" "bare Win32 window (Wine)" "Bare Win32 window" tollora_bare_wi \
  wine tollora_bare_win32.exe)
echo

# Wake-ups and CPU shown and hidden in the tray, and the Windows clock with and without a 1 ms
# timer resolution: about twenty-five minutes more.
LINUX_DIR=$work/linux WIN_DIR=$win BARE_QT=$PWD/build/bench-linux/bench/tollora_bare_qt bench/idle.sh

echo "## The Windows executable"
echo
echo "tollora.exe: $(stat -c %s build/windows/tollora.exe) bytes; imports:" \
  $(x86_64-w64-mingw32-objdump -p build/windows/tollora.exe | awk '/DLL Name/ {print $3}' | sort | tr '\n' ' ')
echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(uname -sr), $(date -u +%Y-%m-%d)"
