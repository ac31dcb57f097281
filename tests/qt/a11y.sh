#!/bin/sh
# The real program through the accessibility bus (AT-SPI) on its own X display and session bus (a11y.py).
# usage: a11y.sh <path of tollora>
set -eu
python=/usr/bin/python3  # Debian's, which has pyatspi
if [ -z "${TOLLORA_A11Y_BUS:-}" ]; then
  $python -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is missing"; exit 77; }
  command -v dbus-run-session >/dev/null 2>&1 || { echo "SKIP: dbus-run-session is missing"; exit 77; }
  TOLLORA_A11Y_BUS=1 exec dbus-run-session -- sh "$0" "$@"
fi
. "$(dirname "$0")/session.sh"
start_session
# Accessibility switched on, as a screen reader does: only then do toolkits join the bus.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1 || fail "no accessibility bus"
cp "$1" "$(dirname "$1")/beep.wav" "$work/"
LC_ALL=C $python "$(dirname "$0")/a11y.py" "$work/tollora" "$out" || fail "the accessibility checks"
echo "PASS"
