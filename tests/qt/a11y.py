# Reads and works the program through AT-SPI as a screen reader does; started by a11y.sh, one line per check.
#   a11y.py <path of tollora> <program output>
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

passed = failed = 0
context = GLib.MainContext.default()
events = []  # (role, name) of every object that showed itself


def check(ok, what, detail=""):
    global passed, failed
    passed, failed = passed + bool(ok), failed + (not ok)
    print("PASS" if ok else "FAIL", what + ("" if ok or detail == "" else ": %s" % (detail,)), flush=True)
    return ok


def until(condition, limit=10):
    end = time.time() + limit
    while True:
        while context.pending():
            context.iteration(False)
        try:
            result = condition()
        except Exception:  # an object that went away in between
            result = None
        if result or time.time() > end:
            return result
        time.sleep(0.05)


def states(acc):
    return {pyatspi.stateToString(s) for s in acc.getState().getStates()}


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def window(name):
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app is not None and app.name == "Tollora":
            return next((w for w in children(app) if w.name == name and "showing" in states(w)), None)
    return None


def control(win, role, name=None):
    return next((c for c in children(win) if c.getRoleName() == role and (name is None or c.name == name)), None)


def press(win, name):
    control(win, "push button", name).queryAction().doAction(0)


def on_showing(event):
    if event.detail1:
        try:
            events.append((event.source.getRoleName(), event.source.name))
        except Exception:  # gone again already
            pass


def main():
    title = "Tollora v1.1"
    main = until(lambda: window(title) if window(title) and control(window(title), "push button", "Set Alarm") else None, 15)
    if not check(main is not None and main.getRoleName() == "frame", "the main window is a frame named \"%s\"" % title):
        return
    box = control(main, "text", "Alarm time")
    check(box is not None and box.description == "Set Date/Time Here - Format Example 01/11/2022 1:11:01 PM",
          "the alarm box is a text named \"Alarm time\" that describes its layout",
          [(c.getRoleName(), c.name, c.description) for c in children(main)])
    clock = control(main, "label")
    check(clock is not None and clock.name.count("/") == 2 and "focusable" not in states(clock),
          "the clock is a label that reads the time and takes no focus", clock.name if clock else None)
    unnamed = [c.getRoleName() for c in children(main) if "showing" in states(c) and not c.name]
    check(not unnamed, "every control on show has a name", unnamed)
    hidden = {(c.getRoleName(), c.name, c.description) for c in children(main) if "showing" not in states(c)}
    check(hidden == {("text", "", "Alarm Backup"), ("push button", "Stop/Reset", ""), ("progress bar", "", "")},
          "the backup box, \"Stop/Reset\" and the busy bar are not showing", hidden)

    press(main, "About")
    about = until(lambda: window("About"))
    if check(about is not None and about.getRoleName() == "dialog", "\"About\" opens the \"About\" dialog",
             about.getRoleName() if about else None):
        line, note = control(about, "label"), control(about, "text")
        check(line is not None and line.name == "Alarm v1.1: brenlow@example.org", "About reads its version line")
        text = note.queryText().getText(0, -1) if note else ""
        check(note is not None and note.name == line.name and text.startswith("I wrote Tollora"),
              "the note is named by the line above it and its text is readable", (note.name if note else None, text[:20]))
        press(about, "Close")
        check(until(lambda: window("About") is None), "\"Close\" closes it")

    alarm = subprocess.run(["date", "-d", "+4 sec", "+%m/%d/%Y %-I:%M:%S %p"], capture_output=True, text=True).stdout.strip()
    box.queryEditableText().setTextContents(alarm)
    press(main, "Minimize To Tray")
    check(until(lambda: window(title) is None, 5), "\"Minimize To Tray\" hides the window")
    spoken = lambda: [e for e in events if e[0] == "notification"]
    check(until(spoken, 15) == [("notification", "Time's Up!")], "the alarm is announced as a notification \"Time's Up!\"",
          (events[-5:], alarm))
    until(lambda: len(spoken()) > 1, 2)  # a second one would come with the beeps that go on
    check(len(spoken()) == 1, "and only once", spoken())


if __name__ == "__main__":
    # Listening before the program starts: a listener registered later missed events in some runs.
    pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
    program = subprocess.Popen([sys.argv[1]], stdout=open(sys.argv[2], "w"), stderr=subprocess.STDOUT)
    try:
        main()
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
    print("a11y: %d passed, %d failed" % (passed, failed), flush=True)
    sys.exit(1 if failed or not passed else 0)
