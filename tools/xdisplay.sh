# The virtual X display the tests and benchmarks run on, sourced by sh and bash alike. Every
# process started here is kept by its id in $xdisplay_pids and ended by xdisplay_stop, never by
# name: the user's own desktop, and a Tollora ringing on it, are left alone.
xdisplay_pids=""
xdisplay_poll() {  # checks the condition $2 every 0.1 s, at most $1 times
  xdisplay_i=0
  until eval "$2"; do [ $((xdisplay_i += 1)) -lt "$1" ] || return 1; sleep 0.1; done
}

# xdisplay_start LOG-FOLDER [tray]: Xvfb at 1024x768 on a free display, a session bus when none
# is set, evilwm, and if asked trayer as the notification area. Exports DISPLAY (and the bus's
# address); fails with the reason on stderr.
xdisplay_start() {
  xdisplay_logs=$1 xdisplay_want=${2:-}
  # Xvfb picks a free display itself and writes its number once it takes connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xdisplay_logs/display" >"$xdisplay_logs/xvfb.log" 2>&1 &
  xdisplay_pids="$! $xdisplay_pids"
  xdisplay_poll 100 "[ -s \"\$xdisplay_logs/display\" ] || ! kill -0 $!" 2>/dev/null || :
  [ -s "$xdisplay_logs/display" ] || { echo "Xvfb did not start: $(cat "$xdisplay_logs/xvfb.log")" >&2; return 1; }
  export DISPLAY=:$(cat "$xdisplay_logs/display")
  # A bus of our own, as a desktop has: without one, the first program to ask for it makes
  # libdbus start one for the display, which outlives the run.
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

# trayer, its id in $xdisplay_tray_pid. Now and then it exits at once when it starts while the
# window manager is still settling in: it gets two more chances.
xdisplay_tray() {
  for xdisplay_attempt in 1 2 3; do
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >"$xdisplay_logs/trayer.log" 2>&1 &
    xdisplay_tray_pid=$! xdisplay_pids="$! $xdisplay_pids"
    xdisplay_poll 200 'xdotool search --class trayer >/dev/null 2>&1' && return
    kill "$xdisplay_tray_pid" 2>/dev/null || :
  done
  echo "trayer did not start: $(cat "$xdisplay_logs/trayer.log")" >&2; return 1
}

xdisplay_stop() {  # ends all that was started here and waits, at most 5 s, for it to be gone
  kill $xdisplay_pids 2>/dev/null || :
  for xdisplay_p in $xdisplay_pids; do
    xdisplay_poll 50 "[ \"\$(cut -d' ' -f3 /proc/$xdisplay_p/stat)\" = Z ] || ! kill -0 $xdisplay_p" 2>/dev/null || :
  done
  xdisplay_pids=""
}
