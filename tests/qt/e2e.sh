#!/bin/sh
# The real program on an X display with a tray: real keys and clicks (in the 288 x 154 window), the tray icon
# and its message, a panel that ends and starts again, the urgency hint.
# usage: e2e.sh <path of tollora_e2e> <folder for screenshots>
set -eu
bin=$1
. "$(dirname "$0")/session.sh"
skip_without import xeyes xprop
start_session

start_copy "$bin"
wait_state 10 "window $title: visible=1 minimized=0"
win=$(main_window $app)
click() { click_in "$win" "$1" "$2"; }
wait_state 6 "$title/cmdSetAlarm: visible=1 text=Set Alarm"
mkdir -p "$2" && import -window "$win" "$2/linux-main.png" || fail "screenshot"

click 143 21  # the alarm box
alarm=$(alarm_in 8)
xdotool key ctrl+a type --delay 20 "$alarm"
click 225 48  # Set Alarm
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Alarm Set"

# Ringing hidden in the tray: the icon shows a message, whose click brings the window back.
click 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"
icon=$(xdotool search --onlyvisible --class '^Tollora$' || true)  # the icon's windows, before any message
wait_state 15 "$title/lblTime: visible=1 text=Time's Up!"
has "window $title: visible=0 minimized=1" || fail "the window showed itself when the alarm rang"
message() { xdotool search --onlyvisible --class '^Tollora$' 2>/dev/null | grep -vx -e "$win" -e "$icon" | head -n 1; }
until_true 5 '[ -n "$(message)" ]' || fail "no message from the tray icon"
click_in "$(message)" 40 20
wait_state 5 "window $title: visible=1 minimized=0"
# The keys are on Stop/Reset: Space stops the ring and leaves the alarm's text as it was.
until_true 5 '[ "$(xdotool getwindowfocus)" = "$win" ]' || fail "the window brought back has no focus"
xdotool key space
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Set Alarm"
has "$title/txtTime(0): visible=1 text=$alarm" || fail "Space changed the alarm text"

# The panel ends while the window is hidden in it: the window comes back.
click 212 129
wait_state 5 "window $title: visible=0 minimized=1"
kill "$tray"
wait_state 10 "window $title: visible=1 minimized=0"

# With no panel, minimised: the ringing window comes up without the focus, marked urgent.
xeyes -geometry 100x100+900+600 >/dev/null 2>&1 &
pids="$! $pids"
until_true 10 'eyes=$(xdotool search --class xeyes 2>/dev/null | head -n 1); [ -n "$eyes" ]' || fail "no xeyes"
xdotool mousemove 950 650 windowfocus --sync "$eyes"
input "type $title/txtTime(0) $(alarm_in 3)"
input "click $title/cmdMin"
wait_state 5 "window $title: visible=1 minimized=1"
urgent() { xprop -id "$win" WM_HINTS | grep -q urgency; }
wait_state 10 "$title/lblTime: visible=1 text=Time's Up!"
[ "$(xdotool getwindowfocus)" = "$eyes" ] || fail "the window that came up by itself took the focus"
until_true 5 urgent || fail "the window that came up by itself asks for no attention"
click 60 80
until_true 5 '! urgent' || fail "the urgency hint stayed after the user turned to the window"
input "click $title/cmdReset"

# A panel that starts again gets the icon (minimised before the program heard of it, again).
start_tray
for attempt in 1 2 3 4 5; do
  click_tray_icon $app
  wait_state 5 "window $title: visible=1 minimized=0"
  click 212 129  # Minimize To Tray
  until_true 2 has "\"window $title: visible=0 minimized=1\"" && break
done
has "window $title: visible=0 minimized=1" || fail "the window did not hide into the panel started again"
click_tray_icon $app
wait_state 5 "window $title: visible=1 minimized=0"
echo "PASS"
