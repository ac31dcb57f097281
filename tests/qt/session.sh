# Shared by the end-to-end scripts: a scratch folder ($work), processes ended on exit by id ($pids),
# polling on the e2e build's state file (e2e_main.cpp), and start_session: an X display of our own.
. "$(dirname "$0")/../../tools/xdisplay.sh"
title="Tollora v1.1"
work=$(mktemp -d)
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  # The program ends its own way on SIGTERM, writing its last state as it goes.
  for p in $pids; do until_true 5 ended "$p" || true; done
  [ -n "${cleanup_more:-}" ] && eval "$cleanup_more"
  xdisplay_stop
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
# The program's one-copy lock and socket, and the user's settings, stay inside the test.
export XDG_RUNTIME_DIR=$work/run HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
state=$work/state
out=$work/out.log

fail() {
  echo "FAIL: $*"
  echo "--- last state ($state):"; cat "$state" 2>/dev/null || true
  echo "--- program output:"; grep -v '^ALSA lib' "$out" 2>/dev/null | tail -n 40
  exit 1
}
skip_without() {
  for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }; done
}
# Polls a shell condition every 0.1 s for at most $1 seconds.
until_true() {
  i=$(($1 * 10)); shift
  until eval "$*"; do
    i=$((i - 1))
    [ $i -le 0 ] && return 1
    sleep 0.1
  done
}
has() { grep -qxF "$1" "$state" 2>/dev/null; }
wait_state() { until_true "$1" has "\"$2\"" || fail "no '$2' within $1 s"; }
# run PROGRAM NAME: the e2e build in the C locale (AM/PM as date(1)'s), with $state and $in (input) named NAME.
run() {
  state=$work/$2.state in=$work/$2.in
  mkfifo "$in"
  LC_ALL=C TOLLORA_TEST_STATE="$state" TOLLORA_TEST_INPUT="$in" "$1" >>"$out" 2>&1 &
  started=$!
  pids="$started $pids"
}
input() { echo "$*" >"$in"; }
# A copy of the e2e build ($1) with its sound, started from $work; sets $app.
start_copy() {
  cp "$1" "$work/tollora" && cp "$(dirname "$1")/beep.wav" "$work/" && run "$work/tollora" app
  app=$started
}
# Whether process $1 has ended (a zombie not yet reaped counts as ended).
ended() { [ "$(cut -d' ' -f3 /proc/"$1"/stat 2>/dev/null)" = Z ] || ! kill -0 "$1" 2>/dev/null; }
# An alarm $1 seconds ahead, in the clock's layout under LC_ALL=C.
alarm_in() { LC_ALL=C date -d "+$1 sec" +'%m/%d/%Y %-I:%M:%S %p'; }

# A virtual X display with a window manager and trayer as the tray; start_tray starts trayer again ($tray).
start_session() {
  skip_without Xvfb evilwm trayer xdotool
  xdisplay_start "$work" || fail "no virtual display"
  start_tray
}
start_tray() { xdisplay_tray || fail "no notification area"; tray=$xdisplay_tray_pid; }

# The X window of the main window of the copy whose process id is $1.
main_window() { xdotool search --all --pid "$1" --name '^Tollora v1\.1$' 2>/dev/null | head -n 1; }
# Clicks a point of the client area of window $1.
click_in() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
# Clicks the icon of the copy whose process id is $1 in trayer's panel: its small window.
click_tray_icon() {
  icon=""
  for w in $(xdotool search --all --pid "$1" --class '^Tollora$'); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -ge 16 ] && [ "$HEIGHT" -ge 16 ] && [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ] && icon="$w $((WIDTH / 2)) $((HEIGHT / 2))"
  done
  [ -n "$icon" ] || fail "no tray icon"
  click_in $icon
}
