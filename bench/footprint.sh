#!/usr/bin/env bash
# Footprint of one program: start-up time to its window being shown, resident and proportional
# memory 10 s after start (medians of RUNS runs), and CPU time over 60 s of waiting.
#   footprint.sh NAME "WINDOW TITLE" PROCESS-NAME COMMAND [ARGS...]
# PROCESS-NAME is the program's process name as ps shows it (its first 15 characters).
# Needs DISPLAY, and XWAIT pointing at bench/xwait. Prints one table row.
set -uo pipefail
name=$1 title=$2 process=$3; shift 3
runs=${RUNS:-5}

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }
# The program's own process, by name: a launcher (wine, dbus-run-session) may stand between.
pid_of() { pgrep -n -x -- "$process" || true; }
stop() {
  pkill -x -- "$process"
  for _ in $(seq 50); do pgrep -x -- "$process" >/dev/null || return; sleep 0.1; done
  pkill -9 -x -- "$process"
}
kb() { awk -v k="$1" '$1 == k":" {print $2}' "/proc/$2/smaps_rollup" 2>/dev/null; }
# On-CPU nanoseconds of every thread: finer than the 10 ms ticks of /proc/PID/stat.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }

starts=() rss=() pss=() cpu=""
for ((i = 0; i < runs; i++)); do
  out=$("$XWAIT" "$title" "$@" 2>/dev/null) || { echo "| $name | did not show \"$title\" |"; stop; exit 1; }
  starts+=("${out% *}")
  sleep 10
  pid=$(pid_of)
  rss+=("$(kb Rss "$pid")") pss+=("$(kb Pss "$pid")")
  if [ "$i" -eq 0 ]; then
    c0=$(cpu_ns "$pid"); sleep 60; c1=$(cpu_ns "$pid")
    cpu=$(( (c1 - c0) / 1000000 ))
  fi
  stop
done

start=$(printf '%s\n' "${starts[@]}" | median)
r=$(printf '%s\n' "${rss[@]}" | median)
p=$(printf '%s\n' "${pss[@]}" | median)
printf '| %-26s | %8s | %8s | %8s | %9s |\n' "$name" "$start" "$((r / 1024))" "$((p / 1024))" "$cpu"
