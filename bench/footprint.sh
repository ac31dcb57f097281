#!/usr/bin/env bash
# Footprint of one program: start-up time to its window being shown, resident and proportional
# memory 10 s after start (medians of RUNS runs), and CPU time over 60 s of waiting.
#   footprint.sh NAME "WINDOW TITLE" PROCESS-NAME COMMAND [ARGS...]
# PROCESS-NAME is the program's process name as ps shows it (its first 15 characters): the
# process measured is the one of that name among those this script started (a launcher such
# as wine or dbus-run-session may stand between). Only those processes are ever ended.
# Needs DISPLAY, and XWAIT pointing at bench/xwait. Prints one table row.
set -uo pipefail
name=$1 title=$2 process=$3; shift 3
runs=${RUNS:-5}

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }
# The process $1 and every process below it, by their parent links.
tree() {
  ps -e -o pid=,ppid= | awk -v root="$1" '
    { parent[$1] = $2 }
    END { for (p in parent) { q = p; while (q != root && (q in parent) && q > 1) q = parent[q]; if (q == root) print p } }'
}
# The measured program: the newest process of its name in the tree this run started.
pid_of() {
  for p in $(tree "$1"); do [ "$(cat /proc/"$p"/comm 2>/dev/null)" = "$process" ] && echo "$p"; done | sort -n | tail -n 1
}
# Ends the tree this run started, and nothing else.
stop() {
  local started=$1 left
  left=$(tree "$started")
  [ -n "$left" ] && kill $left 2>/dev/null
  for _ in $(seq 50); do
    left=$(for p in $left; do kill -0 "$p" 2>/dev/null && echo "$p"; done)
    [ -z "$left" ] && return
    sleep 0.1
  done
  kill -9 $left 2>/dev/null
}
kb() { awk -v k="$1" '$1 == k":" {print $2}' "/proc/$2/smaps_rollup" 2>/dev/null; }
# On-CPU nanoseconds of every thread: finer than the 10 ms ticks of /proc/PID/stat.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }

starts=() rss=() pss=() cpu=""
for ((i = 0; i < runs; i++)); do
  out=$("$XWAIT" "$title" "$@" 2>/dev/null)
  started=${out##* }
  [ "${out% *}" != timeout ] && [ -n "$out" ] || { echo "| $name | did not show \"$title\" |"; [ -n "$started" ] && stop "$started"; exit 1; }
  starts+=("${out% *}")
  sleep 10
  pid=$(pid_of "$started")
  rss+=("$(kb Rss "$pid")") pss+=("$(kb Pss "$pid")")
  if [ "$i" -eq 0 ]; then
    c0=$(cpu_ns "$pid"); sleep 60; c1=$(cpu_ns "$pid")
    cpu=$(( (c1 - c0) / 1000000 ))
  fi
  stop "$started"
done

start=$(printf '%s\n' "${starts[@]}" | median)
r=$(printf '%s\n' "${rss[@]}" | median)
p=$(printf '%s\n' "${pss[@]}" | median)
printf '| %-26s | %8s | %8s | %8s | %9s |\n' "$name" "$start" "$((r / 1024))" "$((p / 1024))" "$cpu"
