"""Takes the screenshots in docs/ on a private Xvfb: the dialog after start, a pick under way
(frame drawn, label filled) and the report after the pick.

    docs_screenshots.py OUTPUT_FOLDER

Needs QUILLET_EXE, QDRIVER_EXE, WINEPREFIX and SHIMTARGET_EXE, as for the end-to-end tests.
"""
import os
import shutil
import subprocess
import sys
import time

import quillet_e2e as e2e

WM_VSCROLL = 0x0115
SB_TOP = 6


def crop(session, path, left, top, right, bottom):
    subprocess.run(["import", "-window", "root", "-crop",
                    f"{right - left}x{bottom - top}+{left}+{top}", "+repage", path],
                   env=session.env(), check=True)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    # Run the target from a plain place in the prefix, so that the pictures show a short path.
    demo = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Demo")
    os.makedirs(demo, exist_ok=True)
    os.environ["SHIMTARGET_EXE"] = shutil.copy(os.environ["SHIMTARGET_EXE"], demo)
    with e2e.Session() as session:
        # The dialog is found before it has painted; give it a moment.
        time.sleep(0.5)
        session.screenshot_dialog(os.path.join(folder, "quillet.png"))
        left, top, right, bottom = session.screen_rect()
        _, window = session.start_target("--title", "Target program",
                                         "--rect", f"{right + 30},{top + 40},300,200")
        t_left, t_top, t_right, t_bottom = session.screen_rect(0, window)
        session.drag_from_crosshair((t_left + 150, t_top + 100))
        time.sleep(0.5)
        crop(session, os.path.join(folder, "picking.png"), left - 10, top + 10, t_right + 10,
             bottom + 10)
        session.release()
        session.wait_for_report()
        session.ask("send", session.hwnd, e2e.ID_OUTPUT, WM_VSCROLL, SB_TOP, 0)
        time.sleep(0.3)
        session.screenshot_dialog(os.path.join(folder, "pick-report.png"))


if __name__ == "__main__":
    main()
