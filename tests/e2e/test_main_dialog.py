"""The main dialog under Wine: start-up texts, layout at several sizes, and every way to close."""
import time
import unittest

import quillet_e2e as e2e

SC_CLOSE = 0xF060


class StartAndLayout(unittest.TestCase):
    def test_start_texts_and_layout_follow_the_client_size(self):
        with e2e.Session() as session:
            self.assertEqual(session.pane(), e2e.START_TEXT)
            self.assertEqual(session.label(), e2e.START_LABEL)
            # Wine runs the tool as an administrator: no elevation button, the label reaches
            # the right margin.
            self.assertFalse(session.visible(e2e.ID_ELEVATE))
            sizes = [session.client_size(), (500, 300), (640, 480), (120, 90)]
            for width, height in sizes:
                with self.subTest(size=(width, height)):
                    self.assertTrue(session.resize_client(width, height))
                    self.assertEqual(session.rect(e2e.ID_FINDER), (6, 6, 34, 34))
                    self.assertEqual(session.rect(e2e.ID_TARGET), (46, 6, width - 52, 34))
                    self.assertEqual(session.rect(e2e.ID_OUTPUT),
                                     (6, 46, width - 12, height - 52))


class Closing(unittest.TestCase):
    def assert_closes_with_zero(self, act, tries=1):
        # Keys go through the X server to the window that holds the focus. On a loaded machine
        # the new dialog may not hold it yet when the first key is sent, so a key that closes
        # is sent again, a few times, while the dialog stays open.
        with e2e.Session() as session:
            for _ in range(tries):
                act(session)
                if session.wait_exit(5) is not None:
                    break
            # A Wine process can take long to end on a loaded machine; a dialog that stays
            # open still fails after a minute.
            self.assertEqual(session.wait_exit(60), 0)

    def test_escape(self):
        self.assert_closes_with_zero(lambda s: s.key("Escape"), tries=3)

    def test_enter(self):
        def enter(session):
            # The pane keeps Enter for itself; from any other control it is the dialog's IDOK.
            # The dialog's first activation may still move the focus to the pane after it was
            # given to the label, so it is given each time.
            session.ask("focus", session.hwnd, e2e.ID_TARGET)
            session.key("Return")
        self.assert_closes_with_zero(enter, tries=3)

    def test_alt_f4(self):
        self.assert_closes_with_zero(lambda s: s.key("alt+F4"), tries=3)

    def test_system_menu_close(self):
        def system_menu(session):
            session.key("alt+space")
            time.sleep(0.5)
            session.key("c")
        self.assert_closes_with_zero(system_menu, tries=3)

    def test_sc_close_from_another_process(self):
        self.assert_closes_with_zero(lambda s: s.ask("syscommand", s.hwnd, SC_CLOSE), tries=3)

    def test_other_commands_leave_the_dialog_open(self):
        with e2e.Session() as session:
            session.ask("command", session.hwnd, 1003)
            session.ask("syscommand", session.hwnd, 0xF020)  # SC_MINIMIZE: not handled
            self.assertIsNone(session.wait_exit(2))
            self.assertEqual(session.pane(), e2e.START_TEXT)


if __name__ == "__main__":
    unittest.main()
