"""The window picker under Wine, driven with real mouse events and read back from the window
system: what a pick reports, what it leaves on the screen, and how it ends."""
import os
import re
import time
import unittest

import quillet_e2e as e2e

BANNER = re.compile(e2e.BANNER_PATTERN + "$")

# What the target program plants in its own process.
PLANTED_FLAGS = ["AppCompatFlags: 0x400", "AppCompatFlags: 0x1000000002"]
PLANTED_INFO_SIZE = 16384


def dump_lines(data):
    """A byte block as the report's hex dump shows it."""
    lines = []
    for offset in range(0, len(data), 16):
        chunk = data[offset:offset + 16]
        pairs = "".join(f"{b:02x} " for b in chunk) + "   " * (16 - len(chunk))
        text = "".join(chr(b) if 0x20 <= b <= 0x7E else "." for b in chunk)
        lines.append(f"{offset:04x} {pairs}{text}")
    return lines


def planted_info_dump():
    return dump_lines(bytes(i % 251 for i in range(PLANTED_INFO_SIZE)))


def outside_frame(rect):
    """The rectangle together with the frame that the picker may draw around it."""
    left, top, right, bottom = rect
    return left - 2, top - 2, right + 2, bottom + 2


def centre_of(rect):
    left, top, right, bottom = rect
    return left + (right - left) // 2, top + (bottom - top) // 2


@unittest.skipUnless(os.environ.get("SHIMTARGET_EXE"), "the target program is not built")
class Picker(unittest.TestCase):
    def setUp(self):
        self.session = e2e.Session().start()
        self.addCleanup(self.session.stop)
        self.target_path = self.session.windows_path(os.environ["SHIMTARGET_EXE"])

    def wait_for_label(self, text):
        """Waits until the label shows text (the dialog follows the mouse on its own time)."""
        e2e.wait_for(lambda: self.session.label() == text, timeout=10)
        self.assertEqual(self.session.label(), text)

    def assert_one_process_report(self, text, path):
        """The pane holds the banner and exactly one process report on path; returns the lines
        of the report's body after "SdbGetMatchingExe:"."""
        lines = text.split("\r\n")
        self.assertRegex(lines[0], BANNER)
        self.assertEqual(lines[1:4], ["Process: " + path, "", "SdbGetMatchingExe:"])
        self.assertEqual(sum(1 for line in lines if line.startswith("Running on ")), 1)
        self.assertEqual(sum(1 for line in lines if line.startswith("Process: ")), 1)
        self.assertFalse(any(line.startswith("File: ") for line in lines))
        # The body ends with its own line end and the one that the pane adds.
        self.assertEqual(lines[-2:], ["", ""])
        return lines[4:-2]

    def assert_planted_live_state(self, body):
        start = body.index("Live info:")
        self.assertEqual(body[start - 1], "")
        self.assertEqual(body[start + 1:start + 3], PLANTED_FLAGS)
        info = body.index("AppCompatInfo:", start)
        self.assertEqual(body[info + 1:], planted_info_dump())

    def test_drag_onto_a_target_reports_its_process(self):
        session = self.session
        _, window = session.start_target("--title", "Target one", "--rect", "800,100,300,200")
        session.drag_from_crosshair((950, 200))
        label = "Target one\r\n" + self.target_path
        self.wait_for_label(label)
        # While the button is held, the pane shows only the banner.
        self.assertRegex(session.pane(), r"^Running on [^\r\n]*\r\n$")
        session.release()
        body = self.assert_one_process_report(session.wait_for_report(), self.target_path)
        self.assert_planted_live_state(body)
        self.assertEqual(session.label(), label)

    def test_press_and_release_without_moving_reports_the_tool_itself(self):
        session = self.session
        x, y = session.centre(e2e.ID_FINDER)
        session.click_at(x, y)
        own_path = session.windows_path(os.environ["QUILLET_EXE"])
        body = self.assert_one_process_report(session.wait_for_report(), own_path)
        # The tool carries no shim state of its own.
        self.assertEqual(body[-2:], ["", "No info found in process, not shimmed or running on 2k3!"])
        self.assertTrue(session.label().endswith("\r\n" + own_path))

    def test_no_frame_is_left_on_the_screen(self):
        session = self.session
        _, first = session.start_target("--title", "First", "--rect", "760,80,260,180")
        _, second = session.start_target("--title", "Second", "--rect", "760,420,260,180")
        time.sleep(0.5)
        own = outside_frame(session.screen_rect())
        before = session.screen_pixels()
        a = centre_of(session.screen_rect(0, first))
        b = centre_of(session.screen_rect(0, second))
        session.drag_from_crosshair(a, b, a, b, a)
        self.wait_for_label("First\r\n" + self.target_path)
        # A frame is drawn around the window under the cursor while the button is held.
        framed = e2e.differing_pixels(before, session.screen_pixels(), [own])
        left, top, right, bottom = session.screen_rect(0, first)
        self.assertTrue(framed)
        self.assertTrue(all(left - 2 <= x <= right + 1 and top - 2 <= y <= bottom + 1
                            for x, y in framed), framed[:10])
        # Released over the empty desktop: every frame is gone again.
        session.mouse_to(1200, 950)
        time.sleep(0.2)
        session.release()
        session.wait_for_report()
        self.assertEqual(e2e.differing_pixels(before, session.screen_pixels(), [own]), [])

    def test_presses_off_the_crosshair_start_no_pick(self):
        session = self.session
        for control in (e2e.ID_TARGET, e2e.ID_OUTPUT, e2e.ID_ELEVATE):
            with self.subTest(control=control):
                x, y = session.centre(control)
                session.click_at(x, y)
                time.sleep(0.3)
                self.assertEqual(session.pane(), e2e.START_TEXT)
                self.assertEqual(session.label(), e2e.START_LABEL)

    def test_target_that_exits_during_the_pick(self):
        session = self.session
        own = outside_frame(session.screen_rect())
        before = session.screen_pixels()
        process, _ = session.start_target("--title", "Short lived", "--rect", "800,100,300,200")
        session.drag_from_crosshair((950, 200))
        self.wait_for_label("Short lived\r\n" + self.target_path)
        process.kill()
        process.wait()
        time.sleep(0.5)
        session.release()
        body = self.assert_one_process_report(session.wait_for_report(), self.target_path)
        self.assertEqual(body[-1], "Could not read remote shim info")
        self.assertNotIn("Live info:", body)
        # The frame around the window that has gone is erased as well.
        self.assertEqual(e2e.differing_pixels(before, session.screen_pixels(), [own]), [])

    def test_target_resized_during_the_pick_leaves_no_frame(self):
        session = self.session
        _, window = session.start_target("--title", "Growing", "--rect", "800,100,300,200")
        time.sleep(0.3)
        own = outside_frame(session.screen_rect())
        before = session.screen_pixels()
        session.drag_from_crosshair((900, 200))
        self.wait_for_label("Growing\r\n" + self.target_path)
        session.resize_client(200, 100, window)
        time.sleep(0.3)
        session.mouse_to(1200, 950)
        time.sleep(0.3)
        session.release()
        session.wait_for_report()
        changed = e2e.differing_pixels(before, session.screen_pixels(), [own])
        # Only the window's own change of size shows: nothing outside its old rectangle.
        self.assertTrue(all(800 <= x < 1100 and 100 <= y < 300 for x, y in changed),
                        changed[:10])

    def test_title_with_a_line_break_shows_only_its_first_line(self):
        session = self.session
        session.start_target("--title", "First line\\nSecond line", "--rect", "800,100,300,200")
        session.drag_from_crosshair((950, 200))
        self.wait_for_label("First line\r\n" + self.target_path)
        session.release()
        session.wait_for_report()
        self.assertEqual(session.label(), "First line\r\n" + self.target_path)

    def test_capture_taken_by_another_window_ends_the_pick_like_a_release(self):
        session = self.session
        session.start_target("--title", "Target one", "--rect", "800,100,300,200")
        own = outside_frame(session.screen_rect())
        before = session.screen_pixels()
        session.drag_from_crosshair((950, 200))
        self.wait_for_label("Target one\r\n" + self.target_path)
        # The driver joins the dialog's input and takes the capture for a window of its own,
        # with the button still held.
        previous, now = session.ask("steal-capture", session.hwnd).split()
        self.assertEqual(previous, session.hwnd)
        self.assertNotEqual(now, session.hwnd)
        body = self.assert_one_process_report(session.wait_for_report(), self.target_path)
        self.assert_planted_live_state(body)
        # The driver's own window is a single pixel in the corner.
        self.assertEqual(e2e.differing_pixels(before, session.screen_pixels(),
                                              [own, (0, 0, 1, 1)]), [])
        # The release that follows starts nothing new.
        report = session.pane()
        session.release()
        time.sleep(0.5)
        self.assertEqual(session.pane(), report)


if __name__ == "__main__":
    unittest.main()
