#!/bin/sh
# One run of the real program on a virtual X display with a window manager and a tray, driven
# from outside like a user would: type an alarm, see it fire, stop it, hide it in the tray,
# bring it back with a click on the icon, and close it.
#
# usage: e2e.sh <path of tollora> <folder for screenshots>
# The program reports what is on screen through TOLLORA_TEST_STATE; clicks go to positions in
# its window, which is 288 x 154 pixels at any scale on Xvfb's 96 DPI.
set -eu
bin=$1
shots=$2

command -v import >/dev/null 2>&1 || { echo "SKIP: import is missing"; exit 77; }
command -v xclip >/dev/null 2>&1 || { echo "SKIP: xclip is missing"; exit 77; }
. "$(dirname "$0")/session.sh"
start_session 81 89

cp "$bin" "$work/tollora" && cp "$(dirname "$bin")/beep.wav" "$work/"
# The C locale, so the program's AM/PM and date(1)'s agree.
LC_ALL=C TOLLORA_TEST_STATE="$state" "$work/tollora" >"$out" 2>&1 &
app=$!
pids="$app $pids"

title="Tollora v1.1"
wait_state 10 "window $title: visible=1 minimized=0"
win=$(main_window $app)
[ -n "$win" ] || fail "no window named '$title'"
# The first look at the alarm comes 2.5 s after start.
wait_state 6 "$title/cmdSetAlarm: visible=1 text=Set Alarm"

# Clicks a point of the main window's client area.
click() { click_in "$win" "$1" "$2"; }
# Saves what a window shows, the main window unless another is named.
shoot() {
  mkdir -p "$shots"
  import -window "${2:-$win}" "$shots/$1" || fail "screenshot $1"
}

shoot linux-main.png

alarm=$(LC_ALL=C date -d '+5 sec' +'%m/%d/%Y %-I:%M:%S %p')
click 143 21  # the alarm box
xdotool key ctrl+a type --delay 20 "$alarm"
click 225 48  # Set Alarm
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Alarm Set"
grep -qF "Time=$alarm" "$work/alarm.ini" || fail "alarm.ini does not hold '$alarm'"

wait_state 15 "$title/lblTime: visible=1 text=Time's Up!"
wait_state 2 "$title/cmdReset: visible=1 text=Stop/Reset"
wait_state 2 "$title/cmdSetAlarm: visible=0 text=Set Alarm"
shoot linux-fired.png

click 225 48  # Stop/Reset, in the same place
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Set Alarm"
wait_state 2 "$title/cmdReset: visible=0 text=Stop/Reset"

click 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"

click_tray_icon $app
wait_state 5 "window $title: visible=1 minimized=0"

# A copied block of lines pasted into the alarm box: the box keeps the first line, and the
# saved file keeps its three lines. xclip stays in the foreground, serving the clipboard.
pasted=$(LC_ALL=C date -d '+8 sec' +'%m/%d/%Y %-I:%M:%S %p')
printf '%s\r\n[ALARM]\r\nTime=01/01/2020 1:00:00 AM\r\n' "$pasted" | xclip -quiet -selection clipboard >/dev/null 2>&1 &
pids="$! $pids"
until_true 5 "xclip -o -selection clipboard >/dev/null 2>&1" || fail "the clipboard was not set"
click 143 21  # the alarm box
xdotool key ctrl+a ctrl+v
wait_state 5 "$title/txtTime(0): visible=1 text=$pasted"
click 225 48  # Set Alarm
wait_state 5 "$title/cmdSetAlarm: visible=1 text=Alarm Set"
expected=$(printf '[ALARM]\r\nTime=%s\r\nTimeBAK=\r\n' "$pasted" | od -An -c)
[ "$(od -An -c "$work/alarm.ini")" = "$expected" ] || fail "alarm.ini is not the three lines of the pasted alarm: $(od -An -c "$work/alarm.ini")"

# Ringing while hidden in the tray: the window stays hidden and the icon shows a message;
# clicking the message brings the window back.
click 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"
wait_state 15 "$title/lblTime: visible=1 text=Time's Up!"
has "window $title: visible=0 minimized=1" || fail "the window showed itself when the alarm rang"
message=""
find_message() {
  for w in $(xdotool search --onlyvisible --class '^Tollora$' 2>/dev/null); do
    [ "$w" = "$win" ] || [ "$w" = "$icon" ] || { message=$w; return 0; }
  done
  return 1
}
until_true 5 find_message || fail "no message from the tray icon"
shoot linux-tray-message.png "$message"
eval "$(xdotool getwindowgeometry --shell "$message")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
wait_state 5 "window $title: visible=1 minimized=0"
click 225 48  # Stop/Reset
wait_state 5 "$title/cmdReset: visible=0 text=Stop/Reset"

# The panel ends while the window is hidden in it: the window comes back rather than stay
# hidden with nothing to bring it back. A panel that starts again gets the icon.
click 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"
kill "$tray"
wait_state 10 "window $title: visible=1 minimized=0"
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$work/trayer2.log" 2>&1 &
tray=$!
pids="$tray $pids"
until_true 20 '[ -n "$(tray_icon $app)" ]' || fail "no icon in the panel started again"
click 212 129  # Minimize To Tray
wait_state 5 "window $title: visible=0 minimized=1"
click_tray_icon $app
wait_state 5 "window $title: visible=1 minimized=0"

# evilwm's "delete" (Ctrl+Alt+Escape) asks the window under the pointer to close; it notices
# the window only once the pointer enters it.
xdotool mousemove 0 0
click 60 80
xdotool key ctrl+alt+Escape
# Ended: a zombie until reaped by the wait below.
until_true 10 ended $app || fail "the program did not end after its window was closed"
wait $app || fail "the program ended with status $?"
echo "PASS"
