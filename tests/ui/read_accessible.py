#!/usr/bin/python3
"""Reads the dialogs of the named program through AT-SPI, as a screen reader
does: one line per showing box, list, check box, link and button with a state
("role<TAB>name<TAB>labelled by<TAB>description"), then presses every link through its action ("pressed <name>").
Waits up to 20 s for the program to appear. Always exits 0; trouble is
printed as a line starting with "error"."""
import sys
import time

import pyatspi


def find_application(name):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name and app.childCount >= 5:
                return app
        time.sleep(0.2)
    return None


READ_ROLES = {
    pyatspi.ROLE_TEXT: "text",
    pyatspi.ROLE_PASSWORD_TEXT: "password",
    pyatspi.ROLE_COMBO_BOX: "combo box",
    pyatspi.ROLE_TREE: "tree",
    pyatspi.ROLE_CHECK_BOX: "check box",
    pyatspi.ROLE_LINK: "link",
    pyatspi.ROLE_PUSH_BUTTON: "button",
}


def labelled_by(node):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                names.append(relation.getTarget(i).name)
    return ",".join(names)


def walk(node, found, depth=0):
    if node is None or depth > 12:
        return
    if depth > 0 and not node.getState().contains(pyatspi.STATE_SHOWING):
        return  # nor anything inside it
    role = node.getRole()
    if role in READ_ROLES and (role != pyatspi.ROLE_PUSH_BUTTON or node.description):
        found.append(node)
    if role in (pyatspi.ROLE_TREE, pyatspi.ROLE_COMBO_BOX):
        return  # rows and items are not looked at
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), found, depth + 1)


def main():
    app = find_application(sys.argv[1])
    if app is None:
        print("error: %s did not appear on the accessibility bus" % sys.argv[1])
        return
    found = []
    walk(app, found)
    lines = sorted("%s\t%s\t%s\t%s" % (READ_ROLES[n.getRole()], n.name, labelled_by(n), n.description)
                   for n in found)
    for line in lines:
        print(line)
    for node in found:
        if node.getRole() != pyatspi.ROLE_LINK:
            continue
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" in names:
            action.doAction(names.index("Press"))
            print("pressed %s" % node.name)
        else:
            print("error: link %s has the actions %s" % (node.name, names))
    sys.stdout.flush()


try:
    main()
except Exception as error:  # reported, not raised: the caller reads stdout only
    print("error: %r" % (error,))
