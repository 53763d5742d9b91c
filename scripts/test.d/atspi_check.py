#!/usr/bin/python3
"""Reads the Quellmark window through AT-SPI, as a screen reader does, and checks what it would
say: every control the keyboard reaches, and both progress bars, have the expected names (no
"&", no padding), the buttons and fields have tooltips, each label names its own field, and
the focus is on the control given. Prints the names it read.

    atspi_check.py FOCUSED_NAME
"""
import sys
import time

import pyatspi

# Qt on Linux names a drop-down list by the entry it shows, here the unit "b".
NAMES = sorted([
    "Source File", "Choose source file", "Destination File", "Choose destination file",
    "Join", "Split", "720 kb", "1 MB", "1.4 MB", "2.5 MB", "5 MB", "Custom", "Custom Size",
    "b", "Delete Source Files", "Begin automatically on drop",
    "Create self joining batch file", "Begin", "Help", "Exit",
    "Current section progress", "Complete file progress",
])
LABELS = sorted([
    ("Source File", "Source File"), ("Destination File", "Destination File"),
    ("Custom Size", "Custom Size"), ("Current section", "Current section progress"),
    ("Complete File", "Complete file progress"),
])


def application():
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower() == "quellmark":
                return app
        time.sleep(0.1)
    sys.exit("atspi: quellmark is not on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


names, labels, focused, untipped = [], [], None, []
for node in walk(application()):
    states, role = node.getState(), node.getRole()
    # The entries of the unit list count with the list.
    if not states.contains(pyatspi.STATE_SHOWING) or role == pyatspi.ROLE_LIST_ITEM:
        continue
    if states.contains(pyatspi.STATE_FOCUSED):
        focused = node.name
    if states.contains(pyatspi.STATE_FOCUSABLE) or role == pyatspi.ROLE_PROGRESS_BAR:
        names.append(node.name)
        print("atspi: %s: %r" % (node.getRoleName(), node.name))
        if role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT) and not node.description:
            untipped.append(node.name)
    for relation in node.getRelationSet():
        if relation.getRelationType() != pyatspi.RELATION_LABEL_FOR:
            continue
        for i in range(relation.getNTargets()):
            target = relation.getTarget(i)
            if target.getRole() != pyatspi.ROLE_LABEL:
                labels.append((node.name, target.name))

failures = []
if sorted(names) != NAMES:
    failures.append("names %s, expected %s" % (sorted(names), NAMES))
if sorted(labels) != LABELS:
    failures.append("labels %s, expected %s" % (sorted(labels), LABELS))
if untipped:
    failures.append("no tooltip on %s" % untipped)
if focused != sys.argv[1]:
    failures.append("the focus is on %r, not %r" % (focused, sys.argv[1]))
if failures:
    sys.exit("atspi: " + "; ".join(failures))
print("atspi: %d controls named as expected, labels name their fields, the focus is on %s"
      % (len(names), focused))
