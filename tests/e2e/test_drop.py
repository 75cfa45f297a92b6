"""Files dropped onto the running tool through the window system (an XDND drag from xdrop,
which Wine turns into WM_DROPFILES), read back from the pane and compared exactly."""
import os
import re
import shutil
import subprocess
import unittest

import quillet_e2e as e2e

# File names in drops are UTF-8, whatever locale the run inherited.
os.environ["LANG"] = "C.UTF-8"

BANNER = re.compile(e2e.BANNER_PATTERN + "\r\n")
LAYERS_KEY = r"Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers"
MAIN_DB = "{11111111-1111-1111-1111-111111111111}"


class Catalogue:
    """Tag references of the sample main database, read from its dump, so that the expected
    text follows the compiled file."""

    def __init__(self, sdb):
        dump = subprocess.run([os.environ["SDBDUMP"], sdb],
                              capture_output=True, text=True, check=True).stdout
        self.items = []  # (offset, depth, tag, name or None)
        for line in dump.splitlines():
            match = re.match(r"0x([0-9A-F]{8})( +)(\w+)(?: \"(.*)\")?", line)
            if match:
                depth = (len(match.group(2)) - 1) // 2
                self.items.append([int(match.group(1), 16), depth, match.group(3), None])
                if match.group(3) == "NAME":
                    self.owner(len(self.items) - 1)[3] = match.group(4)

    def owner(self, index):
        depth = self.items[index][1]
        return next(item for item in reversed(self.items[:index]) if item[1] == depth - 1)

    def entry(self, tag, name, depth=1):
        """The offset (TAGREF) of the first entry of that tag and name at that depth."""
        return next(o for o, d, t, n in self.items if d == depth and t == tag and n == name)

    def child(self, parent, tag):
        start = next(i for i, item in enumerate(self.items) if item[0] == parent)
        depth = self.items[start][1]
        for offset, d, t, _ in self.items[start + 1:]:
            if d <= depth:
                break
            if d == depth + 1 and t == tag:
                return offset
        raise KeyError(tag)


def file_report(path, body):
    return f"File: {path}\r\n\r\nSdbGetMatchingExe:\r\n{body}\r\n"


class DropOntoTheDialog(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = e2e.Session().start()
        # Runs even when the rest of the set-up fails, so that no program outlives the class.
        cls.addClassCleanup(cls.session.stop)
        cls.drive_c = os.path.join(cls.session.prefix, "drive_c")
        cls.samples = os.path.join(cls.drive_c, "quillet-samples")
        cls.scratch = os.path.join(cls.drive_c, "quillet-drop-tests")
        os.makedirs(cls.scratch, exist_ok=True)
        cls.catalogue = Catalogue(os.path.join(cls.drive_c, "windows", "AppPatch", "sysmain.sdb"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def assert_drop(self, paths, reports):
        """Dropping the paths makes the pane exactly one banner line followed by the reports."""
        text = self.session.drop(paths)
        banner = BANNER.match(text)
        self.assertIsNotNone(banner, text)
        self.assertEqual(text[banner.end():], reports)

    def reg(self, *args):
        subprocess.run([e2e.WINE, "reg", *args], env=self.session.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def test_three_files_give_one_banner_and_three_reports_in_the_drops_order(self):
        c = self.catalogue
        exe = c.entry("EXE", "cadwriter.exe")
        xp, themes = c.entry("LAYER", "WinXPSp3"), c.entry("LAYER", "DisableThemes")
        cadwriter = (f"EXE: (0x{exe:x}) cadwriter.exe\r\n"
                     "  - WinXPSp3\r\n  - DisableThemes\r\n  - PadHeapAllocations\r\n"
                     "  - RedirectProgramFolderWrites, with flags: APPHELP_NOUI | APPHELP_CANCEL\r\n"
                     f"LAYER: (0x{xp:x}) WinXPSp3\r\nLAYER: (0x{themes:x}) DisableThemes\r\n"
                     f"Apphelp: {c.child(exe, 'APPHELP'):x}\r\nSDB: {MAIN_DB}\r\n")
        self.assert_drop([os.path.join(self.samples, "cadwriter.exe"),
                          os.path.join(self.samples, "plainapp.exe"), self.samples],
                         file_report(r"C:\quillet-samples\cadwriter.exe", cadwriter)
                         + file_report(r"C:\quillet-samples\plainapp.exe", "No match\r\n")
                         + file_report(r"C:\quillet-samples", "No match\r\n"))

    def test_path_with_spaces_and_non_ascii_characters_comes_out_unchanged(self):
        folder = os.path.join(self.scratch, "Ünïcødé folder")
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, "plain app ẞ 日本.exe")
        shutil.copy(os.path.join(self.samples, "plainapp.exe"), target)
        self.assert_drop([target], file_report(
            "C:\\quillet-drop-tests\\Ünïcødé folder\\plain app ẞ 日本.exe", "No match\r\n"))

    def test_layers_stored_per_user_and_per_machine_show_both_blocks(self):
        target = os.path.join(self.scratch, "stored layers.exe")
        shutil.copy(os.path.join(self.samples, "plainapp.exe"), target)
        windows_path = r"C:\quillet-drop-tests\stored layers.exe"
        self.reg("add", "HKCU\\" + LAYERS_KEY, "/v", windows_path, "/d", "~ Win7RTM", "/f")
        self.reg("add", "HKLM\\" + LAYERS_KEY, "/v", windows_path, "/d", "RunAsAdmin", "/f")
        try:
            c = self.catalogue
            admin, win7 = c.entry("LAYER", "RunAsAdmin"), c.entry("LAYER", "Win7RTM")
            self.assert_drop([target], file_report(
                windows_path,
                f"LAYER: (0x{admin:x}) RunAsAdmin\r\nLAYER: (0x{win7:x}) Win7RTM\r\n"
                f"SDB: {MAIN_DB}\r\n"
                "\r\nHKCU\\...\\Layers:\r\n~ Win7RTM\r\n"
                "\r\nHKLM\\...\\Layers:\r\nRunAsAdmin\r\n"))
        finally:
            self.reg("delete", "HKCU\\" + LAYERS_KEY, "/v", windows_path, "/f")
            self.reg("delete", "HKLM\\" + LAYERS_KEY, "/v", windows_path, "/f")


if __name__ == "__main__":
    unittest.main()
