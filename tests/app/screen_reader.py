# The AT-SPI client of screen_reader.sh: checks the names a screen reader
# gets, then edits track 1's suffix by keyboard alone and checks what was
# announced on the way.
import subprocess
import sys
import threading
import time

import pyatspi
from gi.repository import GLib

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def find(acc, pred, depth=0):
    try:
        if pred(acc):
            return acc
        if depth < 14:
            for c in acc:
                if c is not None:
                    found = find(c, pred, depth + 1)
                    if found:
                        return found
    except Exception:
        pass
    return None


def find_all(acc, pred, out, depth=0):
    try:
        if pred(acc):
            out.append(acc)
        if depth < 14:
            for c in acc:
                if c is not None:
                    find_all(c, pred, out, depth + 1)
    except Exception:
        pass
    return out


def wait_for(fn, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        found = fn()
        if found:
            return found
        time.sleep(0.2)
    return None


def states(acc):
    return {pyatspi.stateToString(s) for s in acc.getState().getStates()}


def labelled_by(acc):
    return [r.getTarget(i).name for r in acc.getRelationSet()
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets())]


def spoken_name(acc):
    # A list is named by its value; its label names it.
    if acc.getRoleName() == "combo box":
        return "".join(labelled_by(acc))
    return acc.name


app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Tovask"), None))
if not app:
    sys.exit("the editor did not show up on the accessibility bus")

ok = wait_for(lambda: find(app, lambda a: a.getRoleName() == "push button" and a.name == "OK"
                           and a.parent and a.parent.name == "Select Communication Port"))
check(ok is not None, "the port dialog's OK button")
ports = find(ok.parent, lambda a: a.getRoleName() == "combo box")
check(labelled_by(ports) == ["Port Name:"], "the port list labelled by Port Name: %r" % labelled_by(ports))
ok.queryAction().doAction(0)

diagram = wait_for(lambda: find(app, lambda a: a.name == "Editable MR Properties"))
check(diagram is not None, "the diagram")
parts = ["prefix", "start sentinel", "data", "terminator", "seperator", "stop sentinel", "LRC", "suffix"]
expected = ["Card data prefix"] + ["Track%d %s" % (t, p) for t in (1, 2, 3) for p in parts] + ["Card data suffix"]
check([c.name for c in diagram] == expected, "the diagram's 26 boxes: %r" % [c.name for c in diagram])

frame = diagram
while frame.parent and frame.getRoleName() != "frame":
    frame = frame.parent
controls = find_all(frame, lambda a: a.getRoleName() in ("check box", "radio button", "text", "combo box",
                                                         "push button", "spin button")
                    and "showing" in states(a) and a.parent != diagram, [])
check(len(controls) >= 20, "the window's controls: %d" % len(controls))
check(all("\t" not in c.name for c in controls), "names with a shortcut's tab (toolbar)")
for c in controls:
    # An editable list's own edit field is named with the list.
    if c.getRoleName() != "text" or c.parent.getRoleName() != "combo box":
        check(spoken_name(c), "a %s without a name, in %s %r" % (c.getRoleName(), c.parent.getRoleName(), c.parent.name))
items = find_all(frame, lambda a: a.getRoleName() == "menu item", [])
check(all("\t" not in i.name and "Ctrl+" not in i.name for i in items), "menu names with their keys")

announced = []


def on_focus(event):
    if event.detail1 == 1:
        announced.append((event.source.getRoleName(), event.source.name, event.source.parent.name))


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
delay = find(frame, lambda a: a.name == "Output Delay (mS)")
delay.queryComponent().grabFocus()
loop = GLib.MainLoop()


def keys():
    time.sleep(0.5)
    for key in ["Tab"] * 8 + ["Right"] * 8 + ["Return"]:
        subprocess.run(["xdotool", "key", key], check=True)
        time.sleep(0.1)
    subprocess.run(["xdotool", "type", "X[CR]"], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    time.sleep(1)
    GLib.idle_add(loop.quit)


threading.Thread(target=keys).start()
GLib.timeout_add_seconds(30, loop.quit)
loop.run()

boxes = [name for role, name, parent in announced if parent == "Editable MR Properties"]
check(boxes[:9] == expected[:9], "the boxes announced on the way: %r" % boxes)
check(any(a[:2] == ("text", "Track1 suffix") for a in announced), "the editor announced as Track1 suffix")
suffix = diagram.getChildAtIndex(8)
check("X[CR]" in suffix.description and "focused" in states(suffix),
      "Track1 suffix back in focus with its value: %r %r" % (suffix.description, states(suffix)))
sys.exit(1 if failures else 0)
