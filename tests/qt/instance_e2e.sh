#!/bin/sh
# Starting the real program more than once, on a virtual X display with a window manager and a
# tray: a second start with the same alarm file brings the running copy out of the tray and
# ends at once; another folder's copy runs beside it, here started hidden with --tray; a copy
# killed outright leaves nothing that blocks the next start; a stopped copy makes later starts
# say so and fail instead of hanging; the lock holds without $XDG_RUNTIME_DIR (its /tmp
# stand-in taken by another user) and with a runtime folder too long for a socket's path.
#
# usage: instance_e2e.sh <path of tollora>
set -eu
bin=$1
. "$(dirname "$0")/session.sh"
start_session 61 69

title="Tollora v1.1"
for folder in a b; do
  mkdir "$work/$folder"
  cp "$bin" "$work/$folder/tollora" && cp "$(dirname "$bin")/beep.wav" "$work/$folder/"
done
printf '[ALARM]\r\nTime=12/24/2030 7:30:00 AM\r\nTimeBAK=\r\n' >"$work/a/alarm.ini"
cp "$work/a/alarm.ini" "$work/before.ini"

# run FOLDER NAME [ARGS]: starts the copy in FOLDER reporting to $work/NAME.state; sets $started.
run() {
  TOLLORA_TEST_STATE="$work/$2.state" "$work/$1/tollora" ${3:-} >>"$out" 2>&1 &
  started=$!
  pids="$started $pids"
}
# ends_alone PID STATE-NAME: the copy ended by itself at once, successfully, with no window.
ends_alone() {
  until_true 10 ended "$1" || fail "a second start with the same alarm file kept running"
  wait "$1" || fail "a second start ended with status $?"
  [ ! -e "$work/$2.state" ] || fail "a second start made a window"
}

run a first
first=$started
state=$work/first.state
wait_state 10 "window $title: visible=1 minimized=0"
click_in "$(main_window $first)" 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"

run a again
ends_alone $started again
wait_state 5 "window $title: visible=1 minimized=0"
cmp -s "$work/a/alarm.ini" "$work/before.ini" || fail "a second start touched alarm.ini"
echo "ok: a second start brings the first copy out of the tray and ends"

# Another folder, another alarm: side by side, this one quietly into the tray.
run b other --tray
other=$started
state=$work/other.state
until_true 10 '[ -n "$(tray_icon $other)" ]' || fail "no tray icon for the copy started with --tray"
wait_state 5 "window $title: visible=0 minimized=0"
[ -z "$(xdotool search --all --onlyvisible --pid $other --name "^$title\$" 2>/dev/null)" ] || fail "--tray showed the window"
kill -0 $first || fail "the first copy ended"
click_tray_icon $other
wait_state 5 "window $title: visible=1 minimized=0"
echo "ok: another folder's copy runs beside it; --tray starts it hidden in the tray"

# Killed outright: its socket file stays behind, and must not stop the next start.
kill -9 $first
until_true 10 ended $first || fail "kill -9"
ls "$XDG_RUNTIME_DIR"/tollora-*.socket >/dev/null 2>&1 || fail "expected the killed copy's socket file"
run a third
third=$started
state=$work/third.state
wait_state 10 "window $title: visible=1 minimized=0"
# ... and the new copy is the one a later start reaches.
click_in "$(main_window $third)" 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"
run a fourth
ends_alone $started fourth
wait_state 5 "window $title: visible=1 minimized=0"
echo "ok: a killed copy does not block the next start"

# refused PID: the start shows why it cannot run within a few seconds, and ends with a
# non-zero status once that message is closed.
message() { xdotool search --all --onlyvisible --pid "$1" --name '^Tollora$' 2>/dev/null | head -n 1; }
refused() {
  refusing=$1
  until_true 8 '[ -n "$(message $refusing)" ]' || { for w in $(xdotool search --all --pid $1 . 2>/dev/null); do xdotool getwindowname $w; done; kill -0 $1 && echo alive; wait $1 || echo "status $?"; ls -la $work/*.state; fail "no message from a start that cannot run"; }
  # A click on its "OK" (320, 112, 72 by 24 pixels in the window).
  xdotool mousemove --window "$(message $1)" 356 124 click 1
  until_true 10 ended "$1" || fail "a refused start kept running after its message was closed"
  if wait "$1"; then fail "a refused start ended with status 0"; fi
}

# Stopped, it never answers, and the knocks fill its socket's queue: each later start tells
# the user and ends, none hangs.
kill -STOP $third
cleanup_more="kill -CONT $third 2>/dev/null || true"
for n in fifth sixth; do
  run a $n
  refused $started
  ! grep -qs "^window Tollora v1.1:" "$work/$n.state" || fail "a refused start made a main window"
done
kill -CONT $third
kill $third
until_true 10 ended $third || fail "the stopped copy did not end"
cmp -s "$work/a/alarm.ini" "$work/before.ini" || fail "a refused start touched alarm.ini"
echo "ok: starts beside a stopped copy say so and fail, none hangs"

# twice STATE COMMAND...: a copy (reporting to STATE), then the same start again, which must
# reach it and end at once; the first copy is left running as $first.
twice() {
  state=$1; shift
  TOLLORA_TEST_STATE=$state "$@" >>"$out" 2>&1 &
  first=$!
  pids="$first $pids"
  wait_state 10 "window $title: visible=1 minimized=0"
  "$@" >>"$out" 2>&1 &
  again=$!
  until_true 10 ended $again || fail "a second start ($*) kept running"
  wait $again || fail "a second start ($*) ended with status $?"
  kill -0 $first || fail "the first copy ($*) ended"
}
stop() { kill "$1"; until_true 10 ended "$1" || fail "a copy did not end"; }

long=$work/run/$(printf '%0120d' 0)
mkdir -m 700 "$long"
twice "$work/long.state" env XDG_RUNTIME_DIR="$long" "$work/a/tollora"
[ -z "$(ls "$long"/*.socket 2>/dev/null)" ] && [ -n "$(ls "$long"/*.lock)" ] ||
  fail "a long runtime folder: expected the lock there and no socket file"
stop $first
echo "ok: one copy per alarm with a runtime folder too long for a socket's path"

# No $XDG_RUNTIME_DIR, and another user made /tmp/tollora-<uid> first: the lock moves to the
# user's own cache folder, never through the planted one.
if [ "$(id -u)" = 0 ]; then
  plant=/tmp/tollora-65534
  [ -e $plant ] && fail "$plant exists already"
  mkdir -m 777 $plant
  cleanup_more="rm -rf $plant"
  chmod 755 "$work"
  mkdir -m 700 "$work/nobody"
  cp -r "$work/a" "$work/nobody/a"
  chown -R 65534:65534 "$work/nobody"
  twice "$work/nobody/state" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME HOME="$work/nobody" "$work/nobody/a/tollora"
  [ -z "$(ls -A $plant)" ] || fail "something was written into the planted $plant"
  [ -n "$(ls "$work/nobody/.cache/tollora/"*.lock)" ] || fail "no lock in the user's cache folder"
  stop $first
  echo "ok: one copy per alarm when another user took /tmp/tollora-<uid>"
else
  echo "note: the case of a /tmp/tollora-<uid> planted by another user needs root"
fi
echo "PASS"
