#!/usr/bin/python3
"""What a screen reader hears: the window's names read through AT-SPI, as Orca reads them.

Usage: atspi_names.py MORVANE. Starts the program under a virtual X server on a session bus
of its own, with fresh settings, and checks that each list is named by its caption and still
tells its current item, that the time left is named apart from its caption, and that the
sub-folders check box is named by its caption.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

LISTS = [
    "Source mode",
    "Please select Flash Video size:",
    "Please select Flash Video encoding profile:",
    "Please select Flash Video format:",
    "Audio mode",
]


def inside_session(program):
    # Imported here: pyatspi joins the accessibility bus of the session it is imported in.
    import pyatspi

    work = tempfile.mkdtemp(prefix="morvane-atspi.")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    window = subprocess.Popen([program], cwd=work, env=env)
    try:
        controls = []
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not any(
                role == pyatspi.ROLE_PUSH_BUTTON for role, _, _ in controls):
            time.sleep(0.5)
            if window.poll() is not None:
                return f"morvane ended with {window.returncode} before showing its window"
            controls = [walked for app in pyatspi.Registry.getDesktop(0)
                        if app is not None and app.get_process_id() == window.pid
                        for walked in walk(app)]
        if not controls:
            return "morvane's window never reached AT-SPI"
        return check(pyatspi, controls)
    finally:
        window.terminate()
        window.wait()
        shutil.rmtree(work, ignore_errors=True)


def walk(node):
    """(role, name, accessible) of node and everything below it."""
    yield node.getRole(), node.name, node
    for child in node:
        if child is not None:
            yield from walk(child)


def check(pyatspi, controls):
    faults = []
    lists = {name: node for role, name, node in controls if role == pyatspi.ROLE_COMBO_BOX}
    if sorted(lists) != sorted(LISTS):
        faults.append(f"lists named {sorted(lists)}, not by their captions {sorted(LISTS)}")
    for name, node in lists.items():
        items = [item.name for item in next(iter(node), [])]
        # Orca takes a combo box's value from its text where no selection is exposed.
        try:
            value = node.queryText().getText(0, -1)
        except NotImplementedError:
            value = None
        print(f"combo box {name!r}: value {value!r} of {len(items)} items")
        if value not in items:
            faults.append(f"list {name!r} tells {value!r}, none of its items {items}")
    labels = [name for role, name, _ in controls if role == pyatspi.ROLE_LABEL]
    for name in ("Time Left", "Time left for this file"):
        print(f"label {name!r}: {labels.count(name)}")
        if labels.count(name) != 1:
            faults.append(f"{labels.count(name)} labels named {name!r}, not one")
    boxes = [name for role, name, _ in controls if role == pyatspi.ROLE_CHECK_BOX]
    print(f"check boxes {boxes}")
    if boxes != ["Include sub-folders"]:
        faults.append(f"check boxes named {boxes}, not ['Include sub-folders']")
    return "\n".join(faults)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    if os.environ.get("MORVANE_ATSPI_SESSION") != "1":
        # Again, under a virtual X server and on a session bus of its own (the packages xvfb,
        # xauth, dbus-daemon, at-spi2-core and python3-pyatspi).
        env = dict(os.environ, MORVANE_ATSPI_SESSION="1")
        sys.exit(subprocess.call(["xvfb-run", "-a", "dbus-run-session", "--", sys.executable,
                                  os.path.abspath(__file__), program], env=env))
    fault = inside_session(program)
    if fault:
        sys.exit(f"atspi_names: FAILED\n{fault}")
    print("atspi_names: every name as a screen reader should hear it")


if __name__ == "__main__":
    main()
