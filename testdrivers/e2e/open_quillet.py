"""Opens Quillet for scripts/open.sh.

With DISPLAY set, Quillet opens on that display for the user and this waits until it is
closed. Without one, Quillet runs on a private Xvfb: the screenshot is saved, the pane's text
printed, and everything stopped. Files given on the command line are dropped on the window
first (through the X drop client, when it has been built).

    open_quillet.py SCREENSHOT.png [FILES...]
"""
import os
import sys

import quillet_e2e as e2e


def drop_files(session, paths):
    if not paths:
        return
    if not os.path.exists(os.environ.get("XDROP", "")):
        print("The X drop client is not built; no files dropped.", file=sys.stderr)
        return
    session.drop([os.path.abspath(p) for p in paths])


def main():
    screenshot, paths = sys.argv[1], sys.argv[2:]
    display = os.environ.get("DISPLAY")
    session = e2e.Session(display=display or None)
    try:
        session.start()
        drop_files(session, paths)
        if display:
            return session.app.wait()
        os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
        session.screenshot_dialog(screenshot)
        print(session.pane().replace("\r\n", "\n"))
        print(f"Screenshot: {screenshot}")
        return 0
    finally:
        if display:
            # The user closes Quillet; only the driver is left to stop.
            if session.driver is not None:
                session.driver.stop()
        else:
            session.stop()


if __name__ == "__main__":
    sys.exit(main())
