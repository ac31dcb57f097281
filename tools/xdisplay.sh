# A virtual X display of our own, as the tests and benchmarks run on: Xvfb at 1024x768 on a free
# display, a session bus when none is set, evilwm, and on request trayer as the notification
# area. Sourced by sh and bash scripts alike. Every process started here is kept by its id in
# $xdisplay_pids and ended by xdisplay_stop, never by name: the user's own desktop, and their
# own Tollora on it, are left alone.
xdisplay_pids=""
# Polls the shell condition $2 every 0.1 s for at most $1 tenths of a second.
xdisplay_poll() {
  xdisplay_i=0
  until eval "$2"; do
    xdisplay_i=$((xdisplay_i + 1))
    [ "$xdisplay_i" -ge "$1" ] && return 1
    sleep 0.1
  done
}

# xdisplay_start LOG-FOLDER [tray]: exports DISPLAY (and DBUS_SESSION_BUS_ADDRESS when unset);
# the servers' logs go into LOG-FOLDER. Fails with the reason on stderr.
xdisplay_start() {
  xdisplay_logs=$1 xdisplay_want=${2:-}
  # Xvfb picks a free display itself and writes its number once it takes connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xdisplay_logs/display" >"$xdisplay_logs/xvfb.log" 2>&1 &
  xdisplay_pids="$! $xdisplay_pids"
  xdisplay_poll 100 "[ -s \"\$xdisplay_logs/display\" ] || ! kill -0 $!" 2>/dev/null || :
  [ -s "$xdisplay_logs/display" ] || { echo "Xvfb did not start: $(cat "$xdisplay_logs/xvfb.log")" >&2; return 1; }
  export DISPLAY=:$(cat "$xdisplay_logs/display")
  # A session bus of our own, as a desktop has: without one, the first program to ask for it
  # makes libdbus start one for the display, which outlives the run.
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    set -- $(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    [ $# -eq 2 ] || { echo "no session bus" >&2; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=$1
    xdisplay_pids="$2 $xdisplay_pids"
  fi
  # Without a window manager Wine waits about 2 s on each window it destroys.
  evilwm >"$xdisplay_logs/evilwm.log" 2>&1 &
  xdisplay_pids="$! $xdisplay_pids"
  [ "$xdisplay_want" != tray ] || xdisplay_tray
}

# trayer as the notification area, its id in $xdisplay_tray_pid. Now and then it exits at once
# when it starts while the window manager is still settling in: it gets two more chances.
xdisplay_tray() {
  for xdisplay_attempt in 1 2 3; do
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$xdisplay_logs/trayer.log" 2>&1 &
    xdisplay_tray_pid=$!
    xdisplay_pids="$xdisplay_tray_pid $xdisplay_pids"
    xdisplay_poll 200 'xdotool search --class trayer >/dev/null 2>&1' && return 0
    kill "$xdisplay_tray_pid" 2>/dev/null || true
  done
  echo "trayer did not start: $(cat "$xdisplay_logs/trayer.log")" >&2
  return 1
}

# Ends what xdisplay_start started, newest first, and waits (at most 5 s) for it to be gone.
xdisplay_stop() {
  for xdisplay_p in $xdisplay_pids; do kill "$xdisplay_p" 2>/dev/null || true; done
  for xdisplay_p in $xdisplay_pids; do
    xdisplay_poll 50 '[ "$(cut -d" " -f3 /proc/$xdisplay_p/stat 2>/dev/null)" = Z ] || ! kill -0 $xdisplay_p 2>/dev/null' || true
  done
  xdisplay_pids=""
}
