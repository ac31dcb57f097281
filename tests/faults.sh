#!/usr/bin/env bash
# Fault tests against the real file system: saves killed at random moments, a full disk and a
# read-only folder. Uses the headless build (test.sh builds it first).
set -uo pipefail
cd "$(dirname "$0")/.."
tool=build/headless/tests/tollora_save_tool
[ -x "$tool" ] || { cmake --preset headless >/dev/null && cmake --build --preset headless -j"$(nproc)" --target tollora_save_tool; } || exit 1

passed=0 failed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $name"; else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

dir=$(mktemp -d)
mnt=""
cleanup() { [ -n "$mnt" ] && umount "$mnt" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT

ini() { printf '[ALARM]\r\nTime=%s\r\nTimeBAK=\r\n' "$1"; }
A="A$(printf 'a%.0s' {1..200})"
B="B$(printf 'b%.0s' {1..200})"

# 1. Kill the saving process at random moments: the file always holds one whole save.
crash_safety() {
  local folder=$dir/crash kills=${TOLLORA_KILLS:-1000} bad=0 flips=0 last=a i
  mkdir -p "$folder"
  ini "$A" >"$folder/expect-a"; ini "$B" >"$folder/expect-b"
  cp "$folder/expect-a" "$folder/alarm.ini"
  for ((i = 0; i < kills; i++)); do
    "$tool" loop "$folder" &
    local pid=$!
    sleep "0.00$((RANDOM % 9 + 1))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if cmp -s "$folder/alarm.ini" "$folder/expect-a"; then
      [ "$last" = a ] || flips=$((flips + 1)); last=a
    elif cmp -s "$folder/alarm.ini" "$folder/expect-b"; then
      [ "$last" = b ] || flips=$((flips + 1)); last=b
    else
      bad=$((bad + 1))
    fi
  done
  echo "$kills kills, $flips changes of content seen, $bad damaged files, $(ls "$folder" | grep -c '^alarm.ini.tmp-') temporary files left by kills"
  "$tool" once "$folder" "after" >/dev/null
  local stray
  stray=$(ls "$folder" | grep -c '^alarm.ini.tmp-')
  echo "after one clean save: $stray temporary files"
  [ "$bad" -eq 0 ] && [ "$stray" -eq 0 ] && [ "$flips" -gt 0 ] && [ "$(cat "$folder/alarm.ini")" = "$(ini after)" ]
}
check "killed saves leave the old or the new file, and no temporaries pile up" crash_safety

# 2. A full disk and a read-only folder (needs root for a small tmpfs of our own).
mnt=$dir/small
mkdir -p "$mnt"
if mount -t tmpfs -o size=16k tmpfs "$mnt" 2>/dev/null; then
  full_disk() {
    ini "kept" >"$mnt/alarm.ini"
    head -c 64k /dev/zero >"$mnt/filler" 2>/dev/null
    local out
    out=$("$tool" once "$mnt" "$(printf 'x%.0s' {1..5000})")
    local rc=$?
    echo "$out"
    [ "$rc" -eq 3 ] && grep -q "alarm.ini" <<<"$out" && [ "$(cat "$mnt/alarm.ini")" = "$(ini kept)" ] &&
      [ "$(ls "$mnt" | grep -c '^alarm.ini.tmp-')" -eq 0 ]
  }
  check "a full disk is reported and the old file kept" full_disk
  read_only() {
    rm -f "$mnt/filler"
    ini "kept" >"$mnt/alarm.ini"
    mount -o remount,ro "$mnt" || return 1
    local out rc
    out=$("$tool" once "$mnt" "new alarm"); rc=$?
    echo "$out"
    [ "$rc" -eq 3 ] && grep -q "Read-only" <<<"$out" && [ "$(cat "$mnt/alarm.ini")" = "$(ini kept)" ]
  }
  check "a read-only folder is reported and the old file kept" read_only
else
  echo "skipped: the full-disk and read-only checks need a tmpfs mount (root)"
fi

echo "faults: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
