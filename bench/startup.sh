#!/usr/bin/env bash
# Start-up of the Linux program beside two bare Qt windows of the same size, one empty and one
# showing a line of text, timed in turns (Tollora, label, empty, Tollora, ...) so that a
# machine that speeds up or slows down during the run touches all three alike. Each figure is
# the time from the start to the window being viewable on an X display of its own, with a
# window manager, a notification area and a session bus (tools/xdisplay.sh); medians of RUNS
# turns (default 15).
#   bench/startup.sh
set -uo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench || exit 1
runs=${RUNS:-15}
cmake -S . -B build/bench-linux -DTOLLORA_BACKEND=qt -DTOLLORA_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build build/bench-linux -j"$(nproc)" --target tollora tollora_bare_qt tollora_xwait >/dev/null ||
  { echo "the Linux build failed"; exit 1; }

work=$(mktemp -d)
. tools/xdisplay.sh
trap 'xdisplay_stop; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run HOME=$work
mkdir -m 700 "$work/run"
xdisplay_start "$work" tray || exit 1
mkdir "$work/tollora"
cp build/bench-linux/ui/qt/tollora resources/beep.wav "$work/tollora/"
printf '[ALARM]\r\nTime=12/24/2099 7:30:00 PM\r\nTimeBAK=\r\n' >"$work/tollora/alarm.ini"
bare=build/bench-linux/bench/tollora_bare_qt

# Prints the milliseconds to the window, and ends what it started.
once() {
  local title=$1 out; shift
  out=$(build/bench-linux/bench/tollora_xwait "$title" "$@" 2>/dev/null)
  kill "${out##* }" 2>/dev/null
  while kill -0 "${out##* }" 2>/dev/null; do sleep 0.05; done
  echo "${out% *}"
}
: >"$work/t" >"$work/l" >"$work/e"
for ((i = 0; i < runs + 1; i++)); do  # the first turn warms the caches and is not counted
  t=$(once "Tollora v1.1" "$work/tollora/tollora") l=$(once "Bare Qt label" "$bare" --label) e=$(once "Bare Qt window" "$bare")
  [ "$i" -gt 0 ] && { echo "$t" >>"$work/t"; echo "$l" >>"$work/l"; echo "$e" >>"$work/e"; }
done
median() { sort -n "$1" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
t=$(median "$work/t") l=$(median "$work/l") e=$(median "$work/e")
echo "| window              | start ms | Tollora ÷ it |"
echo "|---------------------|----------|--------------|"
printf '| %-19s | %8s | %12s |\n' "Tollora" "$t" "1.00" "bare Qt, one label" "$l" "$(awk -v a="$t" -v b="$l" 'BEGIN{printf "%.2f", a/b}')" \
  "bare Qt, empty" "$e" "$(awk -v a="$t" -v b="$e" 'BEGIN{printf "%.2f", a/b}')"
