#!/usr/bin/env bash
# What an idle alarm clock costs: wake-ups a second and CPU time per idle minute, with its
# window shown and with it hidden in the notification area, for both Tollora programs beside a
# bare window of the same toolkit and the peer alarm clocks; then the Windows program's clock
# lag with and without a process-wide 1 ms timer resolution. Prints tables, never fails.
#   bench/idle.sh [SECONDS [RUNS]]     (default: 20 s windows, medians of 3 runs)
#
# Counted over each window, for the program's own process and all its threads (never its
# launcher, wineserver or the X server):
#   wake-ups  voluntary context switches (/proc/PID/task/*/status): each is one time a thread
#             went to sleep waiting for something, so one wake-up to come back; a timer tick,
#             a socket message or a repaint all count;
#   CPU       on-CPU nanoseconds of every thread (/proc/PID/task/*/schedstat).
# Both are scaled to a second and to a minute. "Hidden" is Tollora minimised into the tray
# by its own button (which hides its window); the bare windows and the peers are unmapped, as
# a window manager does to a minimised window, their nearest state.
#
# bench/run.sh calls it with its own display, Wine prefix and copies of the programs. Alone it
# starts a display (tools/xdisplay.sh) if DISPLAY is unset and a Wine prefix of its own, and
# takes the programs from the `linux` and `windows` presets' build folders (building them), or from
#   LINUX_DIR (tollora, beep.wav)  BARE_QT  WIN_DIR (tollora.exe, beep.wav,
#   tollora_bare_win32.exe, tollora_clock_bench.exe)  XWAIT
# ONLY_TOLLORA=1 leaves out the bare windows and the peers; CLOCK_SECONDS=0 the clock part.
# Every process it starts it ends by its id.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20} runs=${2:-3}
root=$PWD
work=$(mktemp -d)
. tools/xdisplay.sh  # the display's processes, if it starts one, are ended by their ids

cleanup() {
  xdisplay_stop
  [ -n "${own_prefix:-}" ] && WINEPREFIX=$own_prefix wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${LINUX_DIR:-}" ] || [ -z "${WIN_DIR:-}" ] || [ -z "${XWAIT:-}" ] || [ -z "${BARE_QT:-}" ]; then
  { cmake --preset linux && cmake --build --preset linux -j2 --target tollora tollora_bare_qt tollora_xwait &&
    cmake --preset windows && cmake --build --preset windows -j2 --target tollora tollora_bare_win32 tollora_clock_bench; } \
    >"$work/build.log" 2>&1 || { echo "the build failed; see the presets"; exit 0; }
fi
LINUX_DIR=${LINUX_DIR:-$root/build/linux/ui/qt}
BARE_QT=${BARE_QT:-$root/build/linux/bench/tollora_bare_qt}
XWAIT=${XWAIT:-$root/build/linux/bench/tollora_xwait}
if [ -z "${WIN_DIR:-}" ]; then
  WIN_DIR=$work/win
  mkdir -p "$WIN_DIR"
  cp build/windows/tollora.exe build/windows/beep.wav build/windows/bench/tollora_bare_win32.exe \
     build/windows/bench/tollora_clock_bench.exe "$WIN_DIR/"
fi

[ -n "${DISPLAY:-}" ] || xdisplay_start "$work" tray || exit 0
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$work/wine
  export WINEPREFIX=$own_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
  wineboot -i >/dev/null 2>&1; wineserver -w
fi

median() { sort -g | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }
# Per thread, "TID WAKEUPS CPU-NS": a thread that ends (Qt's pooled threads do after 30 s idle)
# takes its counts along, so windows are summed thread by thread, never as process totals.
threads() {
  local t
  for t in /proc/"$1"/task/*; do
    echo "${t##*/} $(awk '$1 == "voluntary_ctxt_switches:" {print $2}' "$t/status" 2>/dev/null) $(cut -d' ' -f1 "$t/schedstat" 2>/dev/null)"
  done
}
# The program's own process: the started one, or its newest descendant of that name (a launcher
# such as dbus-run-session forks it; wine execs into it).
own_pid() {
  local top=$1 name=$2 p
  [ "$(cat /proc/"$top"/comm 2>/dev/null)" = "$name" ] && { echo "$top"; return; }
  for p in $(pgrep -x -- "$name"); do
    local q=$p
    while [ "$q" -gt 1 ]; do
      [ "$q" = "$top" ] && { echo "$p"; return; }
      q=$(awk '{print $4}' /proc/"$q"/stat 2>/dev/null || echo 1)
    done
  done
}
# Ends a process and its launcher, by their ids, politely first.
end_tree() {
  local p alive
  kill "$@" 2>/dev/null
  for _ in $(seq 50); do
    alive=0
    for p in "$@"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 0 ] && return
    sleep 0.1
  done
  kill -9 "$@" 2>/dev/null
}
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# The pointer in the bottom-left corner, off every window measured: resting on a button (where
# the last run's click left it, just where the next window opens) it costs hundreds of
# wake-ups a second under Wine, hit tests from a system timer (Wine's tooltip tracking, by the
# look of the messages), which would be counted as the program's own.
park_pointer() {
  local geometry
  geometry=$(xdotool getdisplaygeometry 2>/dev/null) || return
  xdotool mousemove 0 $((${geometry#* } - 1)) 2>/dev/null
}

# One window of `seconds`: "wakeups/s cpu-ms/min"
sample() {
  local pid=$1
  threads "$pid" >"$work/t0"
  sleep "$seconds"
  threads "$pid" >"$work/t1"
  awk -v s="$seconds" 'NR == FNR {w[$1] = $2; c[$1] = $3; next}
    NF == 3 {dw += $2 - w[$1]; dc += $3 - c[$1]}
    END {printf "%.2f %.1f\n", dw / s, dc / 1e6 * 60 / s}' "$work/t0" "$work/t1"
}

# measure NAME "WINDOW TITLE" PROCESS-NAME COMMAND [ARGS...]   -> one table row
measure() {
  local name=$1 title=$2 process=$3; shift 3
  local sw=() sc=() hw=() hc=() i out top pid s h
  for ((i = 0; i < runs; i++)); do
    park_pointer
    out=$("$XWAIT" "$title" "$@" 2>/dev/null)
    top=${out#* }
    if [ "${out%% *}" = timeout ] || [ -z "$top" ]; then
      [ -n "$top" ] && end_tree "$top"
      printf '| %-34s | did not show "%s" |\n' "$name" "$title"; return
    fi
    sleep 4  # past start-up and Tollora's first state check
    pid=$(own_pid "$top" "$process")
    [ -z "$pid" ] && { end_tree "$top"; printf '| %-34s | no process "%s" |\n' "$name" "$process"; return; }
    s=$(sample "$pid")
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      # Tollora through its own "Minimize To Tray" button (client pixels 141,117 to 283,141 at
      # 96 dpi); anything else as a window manager iconifies a window: unmapped.
      if [ "$title" = "Tollora v1.1" ]; then xdotool mousemove --window "$w" 212 129 click 1 2>/dev/null
      else xdotool windowunmap "$w" 2>/dev/null; fi
    done
    for _ in $(seq 100); do visible "$title" || break; sleep 0.1; done
    sleep 2
    h=$(sample "$pid")
    end_tree "$pid" "$top"
    sw+=("${s% *}") sc+=("${s#* }") hw+=("${h% *}") hc+=("${h#* }")
  done
  printf '| %-34s | %9s | %9s | %9s | %9s |\n' "$name" \
    "$(printf '%s\n' "${sw[@]}" | median)" "$(printf '%s\n' "${sc[@]}" | median)" \
    "$(printf '%s\n' "${hw[@]}" | median)" "$(printf '%s\n' "${hc[@]}" | median)"
}

# Each Tollora runs from a folder of its own, with no alarm and with one set for tomorrow.
tomorrow=$(LC_ALL=C date -d tomorrow '+%m/%d/%Y %-I:%M:%S %p')
for variant in idle alarm; do
  mkdir -p "$work/linux-$variant" "$work/win-$variant"
  cp "$LINUX_DIR/tollora" "$LINUX_DIR/beep.wav" "$work/linux-$variant/"
  cp "$WIN_DIR/tollora.exe" "$WIN_DIR/beep.wav" "$work/win-$variant/"
done
printf '[ALARM]\r\nTime=%s\r\nTimeBAK=\r\n' "$tomorrow" | tee "$work/linux-alarm/alarm.ini" >"$work/win-alarm/alarm.ini"

echo "## Idle cost (medians of $runs runs; ${seconds} s windows, scaled to a second and a minute)"
echo
echo "| program                            | shown wake/s | shown CPU ms/min | hidden wake/s | hidden CPU ms/min |"
echo "|------------------------------------|-----------|-----------|-----------|-----------|"
measure "Tollora (Linux, Qt)" "Tollora v1.1" tollora "$work/linux-idle/tollora"
measure "Tollora (Linux, Qt), alarm set" "Tollora v1.1" tollora "$work/linux-alarm/tollora"
[ -n "${ONLY_TOLLORA:-}" ] || measure "bare Qt window" "Bare Qt window" tollora_bare_qt "$BARE_QT"
if [ -z "${ONLY_TOLLORA:-}" ] && command -v alarm-clock-applet >/dev/null; then
  measure "alarm-clock-applet" "Alarms" alarm-clock-app dbus-run-session -- alarm-clock-applet
fi
if [ -z "${ONLY_TOLLORA:-}" ] && command -v gnome-clocks >/dev/null; then
  measure "gnome-clocks" "Clocks" gnome-clocks dbus-run-session -- gnome-clocks
fi
(cd "$work/win-idle" && measure "Tollora (Windows, Wine)" "Tollora v1.1" tollora.exe wine tollora.exe)
(cd "$work/win-alarm" && measure "Tollora (Windows, Wine), alarm set" "Tollora v1.1" tollora.exe wine tollora.exe)
[ -n "${ONLY_TOLLORA:-}" ] || (cd "$WIN_DIR" && measure "bare Win32 window (Wine)" "Bare Win32 window" tollora_bare_wi wine tollora_bare_win32.exe)
echo

if [ -x "$WIN_DIR/tollora_clock_bench.exe" ] && [ "${CLOCK_SECONDS:-60}" -gt 0 ]; then
  echo "## Windows clock lag with and without a process-wide 1 ms timer resolution (${CLOCK_SECONDS:-60} s, ${ALARMS:-10} alarms each)"
  echo
  echo "| loop     | what                     | p50 ms  | p99 ms  | max ms  | skipped | samples |"
  echo "|----------|--------------------------|---------|---------|---------|---------|---------|"
  (cd "$WIN_DIR" && wine tollora_clock_bench.exe "${CLOCK_SECONDS:-60}" "${ALARMS:-10}" 2>/dev/null | tr -d '\r' | grep '^|')
  (cd "$WIN_DIR" && wine tollora_clock_bench.exe "${CLOCK_SECONDS:-60}" "${ALARMS:-10}" 1ms 2>/dev/null | tr -d '\r' | grep '^|')
  echo
fi
