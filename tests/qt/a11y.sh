#!/bin/sh
# The real program read through the desktop's accessibility bus (AT-SPI) and worked with the
# keyboard alone, as a screen-reader user works it: names and roles, hidden controls, Tab and
# Space, and the announcement of a firing alarm. Runs on its own X display and its own session
# bus, so neither a desktop nor another test is touched.
#
# usage: a11y.sh <path of tollora>
set -eu
bin=$1
python=/usr/bin/python3  # Debian's, which has pyatspi

if [ -z "${TOLLORA_A11Y_BUS:-}" ]; then
  for tool in Xvfb evilwm trayer xdotool xdpyinfo dbus-run-session dbus-send; do
    command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
  done
  $python -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is missing"; exit 77; }
  TOLLORA_A11Y_BUS=1 exec dbus-run-session -- sh "$0" "$@"
fi

work=$(mktemp -d)
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
  echo "FAIL: $*"
  echo "--- program output:"; grep -v '^ALSA lib' "$work/out.log" 2>/dev/null || true
  exit 1
}

until_true() {
  limit=$(($1 * 10)); shift
  i=0
  while ! eval "$*"; do
    i=$((i + 1))
    [ $i -ge $limit ] && return 1
    sleep 0.1
  done
}

display=""
for n in 71 72 73 74 75 76 77 78 79; do
  [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  if until_true 10 "xdpyinfo -display :$n >/dev/null 2>&1"; then
    display=:$n
    pids="$xvfb"
    break
  fi
  kill $xvfb 2>/dev/null || true
done
[ -n "$display" ] || fail "no free X display in :71..:79"
export DISPLAY=$display

evilwm >/dev/null 2>&1 &
pids="$! $pids"
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
pids="$! $pids"
until_true 10 "xdotool search --class trayer >/dev/null 2>&1" || fail "trayer did not start"

# What a screen reader does when it starts: switch the desktop's accessibility on. Toolkits
# watch this switch and only then put their windows on the bus.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1 || fail "no accessibility bus"

cp "$bin" "$(dirname "$bin")/beep.wav" "$work/"
# The checks start the program themselves, after they have begun to listen.
LC_ALL=C $python "$(dirname "$0")/a11y.py" "$work/tollora" "$work/out.log" || fail "the accessibility checks"
echo "PASS"
