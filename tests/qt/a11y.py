# Reads the program through the desktop's accessibility bus, as a screen reader does, and works
# it with the keyboard alone. Started by a11y.sh inside its own session bus and X display:
#
#   a11y.py <path of tollora>
#
# prints one PASS/FAIL line per check.
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

passed = failed = 0
context = GLib.MainContext.default()
events = []  # (time, role, name) of every object that showed itself


def check(ok, what, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("PASS", what, flush=True)
    else:
        failed += 1
        print("FAIL", what + (": " + str(detail) if detail != "" else ""), flush=True)
    return ok


def pump():
    while context.pending():
        context.iteration(False)


def until(condition, limit=10):
    """Polls until condition() gives something true; returns it, or None after `limit` s."""
    end = time.time() + limit
    while True:
        pump()
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


def application():
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app is not None and app.name == "Tollora":
            return app
    return None


def window(name):
    app = application()
    for w in children(app) if app else []:
        if w.name == name and "showing" in states(w):
            return w
    return None


def control(win, role, name=None):
    for c in children(win):
        if c.getRoleName() == role and (name is None or c.name == name):
            return c
    return None


def focused(win):
    for c in children(win):
        if "focused" in states(c):
            return c
    return None


def focused_is(win, name):
    f = focused(win)
    return f is not None and f.name == name


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "60", *names], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)


def focus_x_window(title):
    ids = subprocess.run(["xdotool", "search", "--name", "^%s$" % title], capture_output=True, text=True).stdout.split()
    if ids:
        subprocess.run(["xdotool", "windowfocus", "--sync", ids[0]], check=False)


def tab_to(win, name, limit=8):
    for _ in range(limit):
        if until(lambda: focused_is(win, name), 0.5):
            return True
        keys("Tab")
    return until(lambda: focused_is(win, name), 2)


def tray_icon(title):
    """The centre of the program's icon inside the tray's panel: its small window of its own."""
    out = lambda *args: subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout
    main = out("search", "--name", "^%s$" % title).split()
    for w in out("search", "--onlyvisible", "--class", "^Tollora$").split():
        if w in main:
            continue
        geometry = dict(line.split("=") for line in out("getwindowgeometry", "--shell", w).split())
        if int(geometry["WIDTH"]) >= 16 and int(geometry["HEIGHT"]) >= 16:
            return int(geometry["X"]) + int(geometry["WIDTH"]) // 2, int(geometry["Y"]) + int(geometry["HEIGHT"]) // 2
    return None


def on_showing(event):
    if event.detail1:
        try:
            events.append((time.time(), event.source.getRoleName(), event.source.name))
        except Exception:  # gone again already
            pass


def main(program):
    # Listening before the program starts, as a screen reader started with the desktop does.
    # A listener registered after the program had started got none of its events in some runs
    # here (Qt 6.4's bridge learning of it late, it seems).
    pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
    pump()
    title = "Tollora v1.1"
    main = until(lambda: window(title), 15)
    if not check(main is not None, "the main window is on the accessibility bus"):
        return
    check(main.getRoleName() == "frame", "the main window is a frame named \"%s\"" % title, main.getRoleName())
    until(lambda: control(main, "push button", "Set Alarm"), 6)

    box = control(main, "text", "Alarm time")
    check(box is not None and "showing" in states(box), "the alarm box is a text named \"Alarm time\"",
          [(c.getRoleName(), c.name) for c in children(main)])
    if box is not None:
        check(box.description == "Set Date/Time Here - Format Example 01/11/2022 1:11:01 PM",
              "the alarm box describes its layout", box.description)
    for name in ("Set Alarm", "Minimize To Tray", "About"):
        b = control(main, "push button", name)
        check(b is not None and {"showing", "focusable"} <= states(b), "push button \"%s\"" % name)
    clock = control(main, "label")
    check(clock is not None and clock.name.count("/") == 2 and "focusable" not in states(clock),
          "the clock is a label that reads the time and takes no focus", clock.name if clock else None)
    unnamed = [c.getRoleName() for c in children(main) if "showing" in states(c) and not c.name]
    check(not unnamed, "every control on show has a name", unnamed)
    hidden = {(c.getRoleName(), c.name, c.description) for c in children(main) if "showing" not in states(c)}
    check(hidden == {("text", "", "Alarm Backup"), ("push button", "Stop/Reset", ""), ("progress bar", "", "")},
          "the backup box, \"Stop/Reset\" and the busy bar are not showing", hidden)

    # The keyboard alone: Tab walks the controls in their order, skipping the hidden ones.
    focus_x_window(title)
    check(until(lambda: focused_is(main, "Set Alarm")), "the focus starts on \"Set Alarm\"",
          focused(main).name if focused(main) else None)
    walk = []
    for _ in range(4):
        keys("Tab")
        before = walk[-1] if walk else "Set Alarm"
        f = until(lambda: focused(main) if focused(main) and focused(main).name != before else None, 5)
        walk.append(f.name if f else None)
    check(walk == ["Alarm time", "Minimize To Tray", "About", "Set Alarm"],
          "Tab walks the alarm box, Minimize To Tray, About and back to Set Alarm", walk)

    # Space on "About" opens the About window, read as a dialog with its texts.
    tab_to(main, "About")
    keys("space")
    about = until(lambda: window("About"))
    if check(about is not None and about.getRoleName() == "dialog", "Space on \"About\" opens the \"About\" dialog",
             about.getRoleName() if about else None):
        line = control(about, "label")
        check(line is not None and line.name == "Alarm v1.1: brenlow@example.org", "About reads its version line",
              line.name if line else None)
        note = control(about, "text")
        text = note.queryText().getText(0, -1) if note else ""
        check(note is not None and note.name == "Alarm v1.1: brenlow@example.org" and text.startswith("I wrote Tollora"),
              "the note is named by the line above it and its text is readable", (note.name if note else None, text[:20]))
        focus_x_window("About")
        check(tab_to(about, "Close"), "Tab reaches \"Close\"")
        keys("space")
        check(until(lambda: window("About") is None), "Space on \"Close\" closes it")

    # An alarm typed and left to fire while the window is hidden in the tray: spoken once.
    focus_x_window(title)
    check(tab_to(main, "Alarm time"), "Tab reaches the alarm box")
    alarm = subprocess.run(["date", "-d", "+12 sec", "+%m/%d/%Y %-I:%M:%S %p"], capture_output=True, text=True,
                           env=dict(os.environ, LC_ALL="C")).stdout.strip()
    keys("ctrl+a")
    type_text(alarm)
    check(tab_to(main, "Minimize To Tray"), "Tab reaches \"Minimize To Tray\"")
    del events[:]
    keys("space")
    check(until(lambda: window(title) is None, 5), "Space on \"Minimize To Tray\" hides the window")
    spoken = lambda: [e for e in events if e[1:] == ("notification", "Time's Up!")]
    check(until(spoken, 25), "the alarm is announced as a notification \"Time's Up!\" with the window hidden",
          (events[-5:], alarm))
    # A second announcement would come with the beeps that go on meanwhile.
    notes = lambda: [e for e in events if e[1] == "notification"]
    until(lambda: len(notes()) > 1, 3)
    check(len(notes()) == 1, "and only once", notes())
    # The tray's own message about the alarm is a small window of the program's too; it goes by
    # itself after a while, and until then it could be taken for the icon.
    shown = lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "^Tollora$"],
                                   capture_output=True, text=True).stdout.split()
    until(lambda: len(shown()) <= 1, 20)

    # The exit confirmation from the tray icon's right click: a dialog whose question is read.
    icon = tray_icon(title)
    if check(icon is not None, "the tray icon is there"):
        x, y = icon
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "3"], check=True)
        alert = until(lambda: window("Alert"))
        if check(alert is not None and alert.getRoleName() == "dialog", "a right click opens the \"Alert\" dialog",
                 alert.getRoleName() if alert else None):
            labels = until(lambda: {c.name for c in children(alert) if c.getRoleName() == "label"}
                           if len(children(alert)) and control(alert, "push button", "Yes") else None)
            check(labels == {"Alert!", "Are Your Sure You Want To Exit?."}, "the Alert reads its heading and question", labels)
            buttons = {c.name for c in children(alert) if c.getRoleName() == "push button" and "showing" in states(c)}
            check(buttons == {"Yes", "No"}, "with \"Yes\" and \"No\"", buttons)
            focus_x_window("Alert")
            check(until(lambda: focused_is(alert, "No")), "the focus starts on \"No\"")
            keys("space")
            check(until(lambda: window("Alert") is None), "Space on \"No\" closes it")

        # And out with the keyboard: "Yes" is a Tab away from "No". Here the icon often misses
        # the first click after the dialog has closed (not seen outside this run, and not
        # explained); the test clicks again, as a user would.
        alert = None
        for _ in range(3):
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "3"], check=True)
            alert = until(lambda: window("Alert") if window("Alert") and control(window("Alert"), "push button", "Yes") else None, 3)
            if alert:
                break
        if check(alert is not None, "the Alert opens again", [(w.getRoleName(), w.name) for w in children(application())]):
            focus_x_window("Alert")
            check(tab_to(alert, "Yes"), "Tab reaches \"Yes\"")
            keys("space")
            check(until(lambda: program.poll() is not None, 10), "Space on \"Yes\" ends the program")


if __name__ == "__main__":
    program = subprocess.Popen([sys.argv[1]], stdout=open(sys.argv[2], "w"), stderr=subprocess.STDOUT)
    try:
        main(program)
        # The checks end the program with "Yes": it ends cleanly.
        try:
            check(program.wait(10) == 0, "the program ends with status 0", program.returncode)
        except subprocess.TimeoutExpired:
            check(False, "the program ends after \"Yes\"")
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
    print("a11y: %d passed, %d failed" % (passed, failed), flush=True)
    sys.exit(1 if failed or not passed else 0)
