#!/usr/bin/env bash
# Plants the faults of tools/faults.txt in the program one at a time, in a scratch copy of this
# tree; builds, runs the suites that can see each and prints which tests caught it.
#   tools/plant-faults.sh [--only ID,...] [--suites LIST] [--jobs N] [--out FILE] [--scratch DIR] [--check]
#   --suites   headless, linux and/or win32 (comma-separated) for every fault, instead of those
#              its file calls for (ui/win32: win32; ui/qt, ui/posix: headless and linux; else headless)
#   --scratch  the copy, kept between runs so builds are incremental (default: one in /tmp per tree)
#   --check    only tells, per fault, whether its text is still in its file, once
# Prints "ID  CAUGHT by TESTS", "ID  MISSED", "ID  gone" (text no longer there) or
# "ID  BUILD-FAILED" (a bad entry), then "faults: caught C of N (M missed, G gone)".
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null  # an "&" in a replacement is an "&"
{  # read whole before it runs: an edit or a checkout while it runs does not reach it

root=$(cd "$(dirname "$0")/.." && pwd)
only= suites= jobs=2 out= check=
scratch=${TMPDIR:-/tmp}/tollora-faults-$(printf %s "$root" | md5sum | cut -c1-8)
usage() { sed -n '2,10s/^# \{0,1\}//p' "$0"; exit "$1"; }
while [ $# -gt 0 ]; do
  case $1 in
    --only) only=,$2,; shift 2 ;;
    --suites) suites=${2//,/ }; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --scratch) scratch=$(realpath -m "$2"); shift 2 ;;
    --check) check=1; shift ;;
    -h | --help) usage 0 ;;
    *) usage 2 ;;
  esac
done

# The list: F[n,key] for the n-th block.
declare -A F
n=0 file=
while IFS= read -r line || [ -n "$line" ]; do
  [[ $line =~ ^(id|file|find|put|what):\ ?(.*)$ ]] || continue
  case ${BASH_REMATCH[1]} in
    file) file=${BASH_REMATCH[2]}; continue ;;
    id) n=$((n + 1)); F[$n,file]=$file ;;
  esac
  F[$n,${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
done <"$root/tools/faults.txt"
picked=()
for ((i = 1; i <= n; i++)); do
  [ -n "${F[$i,find]:-}" ] && [ -n "${F[$i,file]:-}" ] || { echo "faults.txt: ${F[$i,id]} lacks file: or find:" >&2; exit 2; }
  [[ -z $only || $only == *",${F[$i,id]},"* ]] && picked+=("$i")
done
[ ${#picked[@]} -gt 0 ] || { echo "no fault matches --only" >&2; exit 2; }

count() {  # FILE TEXT: how often TEXT occurs in FILE
  [ -f "$1" ] || { echo 0; return; }
  local all rest
  all=$(<"$1")
  rest=${all//"$2"/}
  echo $(((${#all} - ${#rest}) / ${#2}))
}

if [ -n "$check" ]; then
  for i in "${picked[@]}"; do
    c=$(count "$root/${F[$i,file]}" "${F[$i,find]}")
    printf '%-28s %s\n' "${F[$i,id]}" "$([ "$c" -eq 1 ] && echo ok || echo "gone ($c times)")"
  done
  exit 0
fi

suites_of() {  # FILE: the suites that can see a fault in it
  if [ -n "$suites" ]; then echo "$suites"; return; fi
  case $1 in
    ui/win32/*) echo win32 ;;
    ui/qt/* | ui/posix/*) echo headless linux ;;
    *) echo headless ;;
  esac
}

work=$(mktemp -d)
child= planted=
cleanup() {
  trap '' INT TERM
  [ -n "$planted" ] && cat "$work/orig" >"$planted"
  if [ -n "$child" ]; then
    # Asked to stop, then, after ten seconds, made to: the session holds only what this started.
    kill -TERM -- -"$child" 2>/dev/null
    for _ in {1..100}; do kill -0 "$child" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- -"$child" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A command in a session of its own, so that an interrupt ends it and all it started, and
# nothing else.
run() {
  setsid "$@" 9>&- &
  child=$!
  wait "$child"
  local rc=$?
  child=
  return "$rc"
}

# The copy: only files whose content differs are written (with a new time, so make rebuilds
# them); files the tree no longer has go. Its build folder stays.
mkdir -p "$scratch"
exec 9>"$scratch.lock"
flock -n 9 || { echo "another run is using $scratch" >&2; exit 1; }
while IFS= read -r -d '' f; do
  [ -f "$root/$f" ] || continue
  printf '%s\0' "$f"
  cmp -s "$root/$f" "$scratch/$f" || { mkdir -p "$(dirname "$scratch/$f")" && cp "$root/$f" "$scratch/$f"; } || exit 1
done < <(cd "$root" && git ls-files -z --cached --others --exclude-standard) | sort -zu >"$work/tree" || exit 1
cd "$scratch" || exit 1
find . -path ./build -prune -o -type f -printf '%P\0' | sort -z | comm -z -13 "$work/tree" - | xargs -0r rm -f

# Runs one suite; its failing tests go to $work/failed, one a line. Fails when it does not build.
suite() {
  local log=$work/$1.log
  : >"$work/failed"
  case $1 in
    headless | linux)
      { run cmake --preset "$1" && run cmake --build --preset "$1" -j"$jobs"; } >"$log" 2>&1 || return 1
      local failed=build/$1/Testing/Temporary/LastTestsFailed.log
      rm -f "$failed"
      run ctest --preset "$1" -j"$jobs" --timeout 120 >>"$log" 2>&1
      # Only a test that fails twice counts: an end-to-end test may stumble on a busy machine.
      if [ -f "$failed" ]; then
        local again
        again=$(sed 's/^[0-9]*://' "$failed" | paste -sd'|')
        rm -f "$failed"
        run ctest --preset "$1" -j"$jobs" --timeout 120 -R "^($again)\$" >>"$log" 2>&1
      fi
      sed 's/^[0-9]*://' "$failed" >"$work/failed" 2>/dev/null ;;
    win32)
      run timeout 1800 tests/win32/run.sh >"$log" 2>&1
      grep -q '^FAIL the windows preset builds' "$log" && return 1
      sed -n 's/^FAIL /wine: /p' "$log" >"$work/failed" ;;
    *) echo "unknown suite: $1" >&2; exit 2 ;;
  esac
  return 0
}

# The unpatched tree first: it must build, and a test that fails without any fault is no catch.
declare -A base
needed=$(for i in "${picked[@]}"; do suites_of "${F[$i,file]}"; done | tr ' ' '\n' | sort -u)
for s in $needed; do
  suite "$s" || { echo "the unpatched tree does not build ($s):" >&2; tail -30 "$work/$s.log" >&2; exit 1; }
  base[$s]=$(<"$work/failed")
  [ -z "${base[$s]}" ] || { echo "fails without any fault, not counted ($s):"; sed 's/^/  /' "$work/failed"; } >&2
done

caught=0 missed=0 gone=0 broken=0 out=${out:-/dev/null}
: >"$out"
report() { printf '%-28s %s\n' "$1" "$2" | tee -a "$out"; }
for i in "${picked[@]}"; do
  id=${F[$i,id]} file=${F[$i,file]} find=${F[$i,find]}
  c=$(count "$file" "$find")
  if [ "$c" -ne 1 ]; then
    [ "$c" -eq 0 ] || echo "$id: the text occurs $c times in $file" >&2
    gone=$((gone + 1)); report "$id" gone; continue
  fi
  all=$(<"$file") put=${F[$i,put]:-}
  cp "$file" "$work/orig" && planted=$scratch/$file
  printf '%s\n' "${all/"$find"/"$put"}" >"$file"
  : >"$work/caught"
  built=1
  for s in $(suites_of "$file"); do
    if ! suite "$s"; then
      built=
      echo "$id does not build ($s):" >&2; grep -m5 -E 'error|Error' "$work/$s.log" >&2
      break
    fi
    grep -vxF -e "${base[$s]}" "$work/failed" >>"$work/caught"  # an empty pattern only takes empty lines
  done
  cat "$work/orig" >"$file" && planted=
  if [ -z "$built" ]; then
    broken=$((broken + 1)); report "$id" BUILD-FAILED
  elif [ -s "$work/caught" ]; then
    caught=$((caught + 1)); report "$id" "CAUGHT by $(sort -u "$work/caught" | awk -v ORS= 'NR > 1 { print "; " } 1')"
  else
    missed=$((missed + 1)); report "$id" MISSED
  fi
done

echo "faults: caught $caught of ${#picked[@]} ($missed missed, $gone gone$([ "$broken" -eq 0 ] || echo ", $broken build-failed"))" |
  tee -a "$out"
echo "time: $((SECONDS / 60)) min $((SECONDS % 60)) s" >&2
[ "$broken" -eq 0 ]  # a fault that does not build is an entry to mend
exit
}
