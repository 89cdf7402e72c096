#!/usr/bin/python3
"""What a screen reader reads of a running program, through AT-SPI.

Reads one command per line on standard input and answers each with one line of
JSON on standard output:
  tree PID          every object of the program with that process id, depth
                    first: role, name, description, the text of its text
                    interface, whether it is showing, its extents on the screen
                    and its path of child indices from the application
  press PID ROLE|NAME
                    performs the first action of the first object of that
                    role and name ("menu item|CPU", "push button|Izbor"), the
                    way a screen reader chooses a menu item or presses a button
Each answer is {"ok": true, ...} or {"ok": false, "error": "..."}.
"""
import json
import sys

import pyatspi


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    raise LookupError("no application with process id %d on the accessibility bus" % pid)


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def extents_of(node):
    try:
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return None
    return [box.x, box.y, box.width, box.height]


def walk(node, path, out):
    try:
        states = node.getState()
        out.append({
            "path": path,
            "role": node.getRoleName(),
            "name": node.name or "",
            "description": node.description or "",
            "text": text_of(node),
            "showing": states.contains(pyatspi.STATE_SHOWING),
            "extents": extents_of(node),
        })
        children = [node.getChildAtIndex(index) for index in range(node.childCount)]
    except Exception:
        # Gone while it was read (a list row replaced): what is gone is not shown.
        return
    for index, child in enumerate(children):
        if child is not None:
            walk(child, path + [index], out)


def find(node, role, name):
    if node.getRoleName() == role and node.name == name:
        return node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        found = find(child, role, name) if child is not None else None
        if found is not None:
            return found
    return None


def answer(line):
    words = line.split(" ", 2)
    if words[0] == "tree":
        nodes = []
        walk(application(int(words[1])), [], nodes)
        return {"ok": True, "nodes": nodes}
    if words[0] == "press":
        role, name = words[2].split("|", 1)
        item = find(application(int(words[1])), role, name)
        if item is None:
            raise LookupError("no %s %r" % (role, name))
        item.queryAction().doAction(0)
        return {"ok": True}
    raise ValueError("unknown command %r" % words[0])


def main():
    for line in sys.stdin:
        line = line.rstrip("\n")
        if not line:
            continue
        try:
            reply = answer(line)
        except Exception as error:  # the test reads why, and goes on
            reply = {"ok": False, "error": "%s: %s" % (type(error).__name__, error)}
        sys.stdout.write(json.dumps(reply) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
