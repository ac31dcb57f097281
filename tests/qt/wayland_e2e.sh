#!/bin/sh
# The Linux program under headless weston (no tray, no input devices): About transient for the main window;
# minimised, the window comes back when the alarm rings and on a second start; closed, it ends.
# usage: wayland_e2e.sh <path of tollora_e2e>
set -eu
bin=$1
. "$(dirname "$0")/session.sh"
skip_without weston weston-debug
unset DISPLAY
export WAYLAND_DISPLAY=tollora-test-$$ QT_QPA_PLATFORM=wayland
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --debug >"$work/weston.log" 2>&1 &
pids="$! $pids"
until_true 10 '[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]' || fail "weston did not start: $(cat "$work/weston.log")"

export WAYLAND_DEBUG=client  # the requests the program sends, in its output
start_copy "$bin"
shown() { weston-debug scene-graph 2>/dev/null | grep -q "PID $app, .*top-level window '$title'"; }

wait_state 10 "window $title: visible=1 minimized=0"
until_true 10 shown || fail "the compositor shows no main window"

input "click $title/cmdAbout"
wait_state 5 "window About: visible=1 minimized=0"
grep -q 'set_parent(xdg_toplevel@' "$out" || fail "About is not transient for the main window"
input "click About/cmdCommand2"

# Nothing tells a Wayland client it is minimised: the program must not take the window for shown.
input "click $title/cmdMin"
until_true 5 '! shown' || fail "Minimize To Tray left the window on the screen"
input "type $title/txtTime(0) $(alarm_in 3)"
input "click $title/cmdSetAlarm"
wait_state 10 "$title/lblTime: visible=1 text=Time's Up!"
until_true 5 shown || fail "the alarm rang, but the minimised window stayed away"
input "click $title/cmdReset"

input "click $title/cmdMin"
until_true 5 '! shown' || fail "Minimize To Tray left the window on the screen"
"$work/tollora" >>"$out" 2>&1 || fail "a second start ended with status $?"
until_true 5 shown || fail "a second start did not bring the minimised window back"
input "close $title/"
until_true 10 ended $app || fail "the program did not end when its window was closed"
wait $app || fail "the program ended with status $?"
echo "PASS"
