#!/usr/bin/python3
# Reads the Quellmark window through AT-SPI, as a screen reader does, and checks that every
# control the keyboard reaches, and both progress bars, have the expected names (no "&", no
# padding), that the buttons and fields have tooltips, that each label names its own field, and
# that the focus is on the control named by the argument:  atspi_check.py FOCUSED_NAME
import sys
import time

import pyatspi

# Qt on Linux names a drop-down list by the entry it shows, here the unit "b".
NAMES = sorted([
    "Source File", "Choose source file", "Destination File", "Choose destination file", "Join",
    "Split", "720 kb", "1 MB", "1.4 MB", "2.5 MB", "5 MB", "Custom", "Custom Size", "b",
    "Delete Source Files", "Begin automatically on drop", "Create self joining batch file",
    "Begin", "Help", "Exit", "Current section progress", "Complete file progress"])
LABELS = sorted([(n, n) for n in ("Source File", "Destination File", "Custom Size")] + [
    ("Current section", "Current section progress"), ("Complete File", "Complete file progress")])

for _ in range(100):
    apps = [a for a in pyatspi.Registry.getDesktop(0) if a and a.name.lower() == "quellmark"]
    if apps:
        break
    time.sleep(0.1)
apps or sys.exit("atspi: quellmark is not on the accessibility bus")

names, labels, focused, untipped = [], [], None, []
# What is on screen; the entries of the unit list count with the list.
for node in pyatspi.utils.findAllDescendants(apps[0], lambda n: n.getState().contains(
        pyatspi.STATE_SHOWING) and n.getRole() != pyatspi.ROLE_LIST_ITEM):
    states, role = node.getState(), node.getRole()
    focused = node.name if states.contains(pyatspi.STATE_FOCUSED) else focused
    if states.contains(pyatspi.STATE_FOCUSABLE) or role == pyatspi.ROLE_PROGRESS_BAR:
        names.append(node.name)
        if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT) and not node.description:
            untipped.append(node.name)
    for relation in node.getRelationSet():
        targets = [relation.getTarget(i) for i in range(relation.getNTargets())]
        labels += [(node.name, t.name) for t in targets if t.getRole() != pyatspi.ROLE_LABEL and
                   relation.getRelationType() == pyatspi.RELATION_LABEL_FOR]

got = (sorted(names), sorted(labels), untipped, focused)
if got != (NAMES, LABELS, [], sys.argv[1]):
    sys.exit("atspi: got names, labels, untipped, focus %s; expected %s" %
             (got, (NAMES, LABELS, [], sys.argv[1])))
