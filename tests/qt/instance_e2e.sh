#!/bin/sh
# Starting the real program more than once, on a virtual X display with a window manager and a
# tray: a second start with the same alarm file brings the running copy out of the tray and
# ends at once; another folder's copy runs beside it, here started hidden with --tray; a copy
# killed outright leaves nothing that blocks the next start.
#
# usage: instance_e2e.sh <path of tollora>
set -eu
bin=$1
. "$(dirname "$0")/session.sh"
start_session 61 69

title="Tollora v1.1"
for folder in a b; do
  mkdir "$work/$folder"
  cp "$bin" "$(dirname "$bin")/beep.wav" "$work/$folder/"
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
echo "PASS"
