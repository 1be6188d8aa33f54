"""Prints what a screen reader sees of one program over AT-SPI, as JSON: its top-level windows
with every accessible object under them (role, name, children), as Orca would read them.

    python3 atspi_tree.py <pid>

Run with the session bus of the display the program is on (DBUS_SESSION_BUS_ADDRESS); vxdisplay's
Session(a11y=True).accessible_tree() does. The cells of tables and lists are left out (a register
holds thousands): only the table itself is listed."""

import json
import sys

import pyatspi

LEAVES = {"table", "tree table", "list", "tree", "combo box"}


def node(a, depth=0):
    try:
        role = a.getRoleName()
        d = {"role": role, "name": a.name or ""}
        if role not in LEAVES and depth < 40:
            kids = []
            for i in range(a.childCount):
                c = a.getChildAtIndex(i)
                if c is not None:
                    kids.append(node(c, depth + 1))
            if kids:
                d["children"] = kids
        return d
    except Exception as e:  # an object that went away while it was read
        return {"role": "gone", "name": str(e)}


def main():
    pid = int(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                print(json.dumps(node(app), ensure_ascii=False))
                return 0
        except Exception:
            continue
    print("null")
    return 0


if __name__ == "__main__":
    sys.exit(main())
