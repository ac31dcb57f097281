#!/usr/bin/env bash
# Fault tests against the real file system: saves killed at random moments, a full disk and a
# read-only folder (those two on a small tmpfs of our own, which needs root).
set -uo pipefail
cd "$(dirname "$0")/.."
tool=build/headless/tests/tollora_save_tool
[ -x "$tool" ] || { cmake --preset headless >/dev/null && cmake --build --preset headless -j2 --target tollora_save_tool; } || exit 1

passed=0 failed=0
check() {  # check NAME COMMAND
  if "$2"; then passed=$((passed + 1)); echo "ok: $1"; else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
dir=$(mktemp -d) mnt=""
trap '[ -n "$mnt" ] && umount "$mnt" 2>/dev/null; rm -rf "$dir"' EXIT
ini() { printf '[ALARM]\r\nTime=%s\r\nTimeBAK=\r\n' "$1"; }
temps() { ls "$1" | grep -c '^alarm.ini.tmp-'; }

crash_safety() {  # the file always holds one whole save, and killed saves' temporaries go
  local f=$dir/crash bad=0 seen="" i pid
  mkdir -p "$f"
  ini "A$(printf 'a%.0s' {1..200})" >"$f/a"; ini "B$(printf 'b%.0s' {1..200})" >"$f/b"; cp "$f/a" "$f/alarm.ini"
  for ((i = 0; i < ${TOLLORA_KILLS:-1000}; i++)); do
    "$tool" loop "$f" & pid=$!
    sleep "0.00$((RANDOM % 9 + 1))"
    kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    if cmp -s "$f/alarm.ini" "$f/a"; then seen+=a
    elif cmp -s "$f/alarm.ini" "$f/b"; then seen+=b
    else bad=$((bad + 1)); fi
  done
  echo "$bad damaged files; $(temps "$f") temporaries left by kills"
  "$tool" once "$f" after >/dev/null
  [ "$bad" -eq 0 ] && [[ $seen == *a* && $seen == *b* ]] && [ "$(temps "$f")" -eq 0 ] &&
    [ "$(cat "$f/alarm.ini")" = "$(ini after)" ]
}
check "killed saves leave the old or the new file, and no temporaries pile up" crash_safety

mkdir -p "$dir/small"
mount -t tmpfs -o size=16k tmpfs "$dir/small" 2>/dev/null && mnt=$dir/small
refused() {  # refused TEXT REASON: the save is reported, naming the file, and the old file kept
  local out; out=$("$tool" once "$mnt" "$1"); local rc=$?
  echo "$out"
  [ "$rc" -eq 3 ] && grep -q "$mnt/alarm.ini" <<<"$out" && grep -q "$2" <<<"$out" &&
    [ "$(cat "$mnt/alarm.ini")" = "$(ini kept)" ] && [ "$(temps "$mnt")" -eq 0 ]
}
full_disk() {
  ini kept >"$mnt/alarm.ini"
  head -c 64k /dev/zero >"$mnt/filler" 2>/dev/null
  refused "$(printf 'x%.0s' {1..4000})" "No space left"  # within the length limit
}
read_only() {
  rm -f "$mnt/filler"
  ini kept >"$mnt/alarm.ini"
  mount -o remount,ro "$mnt" && refused "new alarm" "Read-only"
}
if [ -n "$mnt" ]; then
  check "a full disk is reported and the old file kept" full_disk
  check "a read-only folder is reported and the old file kept" read_only
else
  echo "skipped: the full-disk and read-only checks need a tmpfs mount (root)"
fi
echo "faults: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
