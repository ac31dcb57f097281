#!/bin/sh
# One copy per alarm file, the real program on Qt's offscreen platform: second starts, killed and stopped copies,
# the lock in a runtime folder too long for a socket or planted by another user; a missed alarm; the command line.
# usage: instance_e2e.sh <path of tollora_e2e>
set -eu
bin=$1
. "$(dirname "$0")/session.sh"
export QT_QPA_PLATFORM=offscreen
for folder in a b c; do
  mkdir "$work/$folder"
  cp "$bin" "$work/$folder/tollora" && cp "$(dirname "$bin")/beep.wav" "$work/$folder/"
done
printf '[ALARM]\r\nTime=12/24/2030 7:30:00 AM\r\nTimeBAK=\r\n' >"$work/a/alarm.ini"
cp "$work/a/alarm.ini" "$work/before.ini"

# A copy that starts with its window shown, then minimises it (there is no tray); sets $first.
first_copy() {
  run "$work/a/tollora" "$1"
  first=$started
  wait_state 10 "window $title: visible=1 minimized=0"
  input "click $title/cmdMin"
  wait_state 5 "window $title: visible=1 minimized=1"
}

first_copy first
run "$work/b/tollora" other
other=$started
wait_state 10 "window $title: visible=1 minimized=0"
kill -0 $first || fail "the first copy ended"

# Killed outright, its socket file stays behind and must not stop the next start. A second start then
# ends by itself at once, successfully, with no window, and the first comes back.
kill -9 $first
until_true 10 ended $first || fail "kill -9"
first_copy third
run "$work/a/tollora" fourth
state=$work/third.state
until_true 10 ended $started || fail "a second start with the same alarm file kept running"
wait $started || fail "a second start ended with status $?"
[ ! -e "$work/fourth.state" ] || fail "a second start made a window"
wait_state 5 "window $title: visible=1 minimized=0"

# Stopped, it never answers and the knocks fill its queue: each later start says why and fails.
kill -STOP $first
cleanup_more="kill -CONT $first 2>/dev/null || true"
for n in fifth sixth; do
  run "$work/a/tollora" $n
  wait_state 8 "window Tollora: visible=1 minimized=0"
  ! grep -q "^window $title:" "$state" || fail "a refused start made a main window"
  input "click Tollora/cmdOk"
  until_true 10 ended $started || fail "a refused start kept running after its message was closed"
  if wait $started; then fail "a refused start ended with status 0"; fi
done
kill -CONT $first
cmp -s "$work/a/alarm.ini" "$work/before.ini" || fail "a second or a refused start touched alarm.ini"

# Asked to end by a signal, a copy ends as when its window is closed: status 0, its socket gone.
kill -TERM $first
kill -HUP $other
for copy in $first $other; do
  until_true 10 ended $copy || fail "a signal did not end the program"
  wait $copy || fail "the program ended by a signal with status $?"
done
[ -z "$(ls "$work/run/"*.socket 2>/dev/null)" ] || fail "a socket stayed behind: $(ls "$work/run")"

# An alarm set, then missed while no copy ran, is told at the next start, in the message window.
export LC_ALL=C
run "$work/c/tollora" armed
wait_state 10 "window $title: visible=1 minimized=0"
due=$(($(date +%s) + 3))
input "type $title/txtTime(0) $(date -d @$due +'%m/%d/%Y %-I:%M:%S %p')"
input "click $title/cmdSetAlarm"
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Alarm Set"
input "close $title/"
until_true 10 ended $started || fail "closing the window did not end the program"
until_true 5 '[ "$(date +%s)" -gt $due ]'
run "$work/c/tollora" told
until_true 10 'grep -q "^Tollora/txtText: visible=1 text=The alarm of .* while Tollora was not running\.$" "$state" 2>/dev/null' ||
  fail "the alarm missed while Tollora was not running was not told"
kill $started

# twice STATE COMMAND...: a copy, then the same start again, which must reach it and end at once.
twice() {
  state=$1; shift
  TOLLORA_TEST_STATE=$state "$@" >>"$out" 2>&1 &
  one=$!
  pids="$one $pids"
  wait_state 10 "window $title: visible=1 minimized=0"
  timeout 10 "$@" >>"$out" 2>&1 || fail "a second start ($*) ended with status $?"
  kill -0 $one || fail "the first copy ($*) ended"
  eval "$while_running"
  kill $one
}
long=$work/run/$(printf '%0120d' 0)
mkdir -m 700 "$long"
while_running='[ -z "$(ls "$long"/*.socket 2>/dev/null)" ] && [ -n "$(ls "$long"/*.lock)" ] ||
  fail "a long runtime folder: expected the lock there and no socket file"'
twice "$work/long.state" env XDG_RUNTIME_DIR="$long" "$work/b/tollora"

if [ "$(id -u)" = 0 ]; then  # another user: CI runs as root
  plant=/tmp/tollora-65534
  [ -e $plant ] && fail "$plant exists already"
  mkdir -m 700 $plant  # root's, private
  cleanup_more="$cleanup_more; rm -rf $plant"
  chmod 755 "$work"
  mkdir -m 700 "$work/nobody"
  cp -r "$work/b" "$work/nobody/b"
  chown -R 65534:65534 "$work/nobody"
  while_running='[ -n "$(ls "$work/nobody/.cache/tollora/"*.lock)" ] || fail "no lock in the user'"'"'s cache folder"'
  twice "$work/nobody/state" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME HOME="$work/nobody" "$work/nobody/b/tollora"
  [ -z "$(ls -A $plant)" ] || fail "something was written into the planted $plant"
fi

# said: "status stdout-lines stderr-lines" of a run: --version, an unknown word, no display.
b=$work/b/tollora
said() { code=0; "$@" >"$work/said" 2>"$work/said.err" || code=$?; echo "$code $(wc -l <"$work/said") $(wc -l <"$work/said.err")"; cat "$work/said.err" >>"$work/said"; }
[ "$(said "$b" --version)" = "0 1 0" ] && grep -qx "Tollora 1.1.0" "$work/said" || fail "--version: $(cat "$work/said")"
[ "$(said "$b" --tray --bogus)" = "2 0 7" ] && grep -qx "tollora: unknown option '--bogus'" "$work/said" ||
  fail "--bogus: $(cat "$work/said")"
for display in "" :987; do
  [ "$(said env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=$display "$b")" = "1 0 1" ] ||
    fail "no display ($display): $(cat "$work/said")"
done
echo "PASS"
