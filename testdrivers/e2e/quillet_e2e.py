"""Runs Quillet.exe under Wine on a private Xvfb and drives it like a user.

The session starts its own X server on a free display, starts Quillet in the project's Wine
prefix, and reads the dialog back through qdriver.exe (window messages, WM_GETTEXT). Mouse and
keyboard go through xdotool, so they arrive as real X input. Screenshots come from ImageMagick.

Paths come from the environment, as the test registration and scripts/open.sh set them:
QUILLET_EXE, QDRIVER_EXE, WINEPREFIX, and optionally SHIMTARGET_EXE, XDROP, SAMPLES_DIR.
QUILLET_WINE names the Wine loader of the build (default wine) and QUILLET_ARCH its
architecture (x86, the default, or x64).
"""
import os
import shutil
import subprocess
import tempfile
import time

ID_OUTPUT = 1001
ID_FINDER = 1002
ID_TARGET = 1003
ID_ELEVATE = 1004

WINE = os.environ.get("QUILLET_WINE", "wine")
# The 32-bit build runs under WoW64 in Wine's 64-bit prefix; the 64-bit build does not.
BANNER_PATTERN = r"Running on \d+\.\d+\.\d+" + (
    "" if os.environ.get("QUILLET_ARCH") == "x64" else r" \(WoW64\)")

START_TEXT = "Or drop files to test them."
START_LABEL = "Drag the crosshair over a window to select it"


def unescape(text):
    """Undoes qdriver's escapes of backslash, CR, LF and tab."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"r": "\r", "n": "\n", "t": "\t"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


def escape(text):
    return (text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
            .replace("\t", "\\t"))


def wait_for(condition, timeout=20.0, step=0.1):
    """Polls until condition() gives a true value; returns it, or None after the timeout."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            return None
        time.sleep(step)


class Xvfb:
    """A private X server on a display number that it picks itself."""

    def __init__(self, width=1280, height=1024):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Driver:
    """One qdriver.exe that answers a command per line until it is closed."""

    def __init__(self, qdriver, env):
        self.process = subprocess.Popen(
            [WINE, qdriver], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, env=env)

    def ask(self, *words):
        line = " ".join(f'"{w}"' if " " in str(w) else str(w) for w in words)
        self.process.stdin.write((line + "\n").encode("utf-8"))
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise RuntimeError("qdriver ended")
        answer = answer.decode("utf-8").rstrip("\n")
        if answer.startswith("error:"):
            raise RuntimeError(answer)
        return answer

    def stop(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
            self.process.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


class Session:
    """Quillet under Wine on its own display. Use as a context manager."""

    def __init__(self, width=1280, height=1024, display=None):
        self.quillet = os.environ["QUILLET_EXE"]
        self.qdriver_exe = os.environ["QDRIVER_EXE"]
        self.prefix = os.environ["WINEPREFIX"]
        self.width = width
        self.height = height
        self.xvfb = None
        self.app = None
        self.driver = None
        self.hwnd = None
        self.helpers = []
        self.exit_code = None
        # An existing display (the user's) is used as it is; otherwise a private Xvfb.
        self.display = display

    # Start and stop.

    def env(self):
        env = dict(os.environ)
        env["WINEPREFIX"] = self.prefix
        env["WINEDEBUG"] = "-all"
        env["DISPLAY"] = self.display or self.xvfb.display
        return env

    def start(self, *args):
        if self.display is None:
            # A server of an earlier session may still be winding down on another display.
            self._wait_for_wineserver()
            self.xvfb = Xvfb(self.width, self.height)
        self.driver = Driver(self.qdriver_exe, self.env())
        self.app = subprocess.Popen([WINE, self.quillet, *args], env=self.env(),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.hwnd = wait_for(self._find_dialog, timeout=60)
        if not self.hwnd:
            raise RuntimeError("Quillet's window did not appear")
        # The dialog is up once its pane holds the start-up text.
        wait_for(lambda: self.pane() == START_TEXT, timeout=10)
        return self

    def _find_dialog(self):
        answer = self.driver.ask("find-window", "Quillet")
        return answer if answer != "0" else None

    def wait_exit(self, timeout=20):
        """Waits for Quillet to end; returns its exit code (as Unix reports it, 0..255)."""
        try:
            self.exit_code = self.app.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        return self.exit_code

    def start_helper(self, *command):
        """Starts another Windows program in the same prefix and display."""
        process = subprocess.Popen([WINE, *command], env=self.env(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.helpers.append(process)
        return process

    def stop(self):
        for process in [self.app, *self.helpers]:
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        for process in self.helpers:
            process.stdout.close()
        if self.app is not None and self.exit_code is None:
            self.exit_code = self.app.returncode
        if self.driver is not None:
            self.driver.stop()
        if self.xvfb is not None:
            self._wait_for_wineserver()
            self.xvfb.stop()
        return self.exit_code

    def _wait_for_wineserver(self):
        """Waits, for a while, until no program of an earlier session runs in the prefix."""
        try:
            subprocess.run(["wineserver", "-w"], env={**os.environ, "WINEPREFIX": self.prefix},
                           timeout=60, check=False)
        except subprocess.TimeoutExpired:
            pass

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False

    # Reading the dialog back.

    def ask(self, *words):
        return self.driver.ask(*words)

    def text(self, control=0, window=None):
        return unescape(self.ask("text", window or self.hwnd, control))

    def pane(self):
        return self.text(ID_OUTPUT)

    def label(self):
        return self.text(ID_TARGET)

    def rect(self, control, window=None):
        """The control's rectangle in its parent's client area: x, y, width, height."""
        return tuple(int(v) for v in self.ask("rect", window or self.hwnd, control).split())

    def screen_rect(self, control=0, window=None):
        """left, top, right, bottom on the screen."""
        return tuple(int(v) for v in self.ask("screen-rect", window or self.hwnd, control).split())

    def client_size(self, window=None):
        return tuple(int(v) for v in self.ask("client-size", window or self.hwnd).split())

    def visible(self, control, window=None):
        return self.ask("visible", window or self.hwnd, control) == "1"

    def resize_client(self, width, height, window=None):
        self.ask("resize", window or self.hwnd, width, height)
        return wait_for(lambda: self.client_size(window) == (width, height), timeout=5)

    def centre(self, control, window=None):
        left, top, right, bottom = self.screen_rect(control, window)
        return left + (right - left) // 2, top + (bottom - top) // 2

    # Input through the X server.

    def xdotool(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env(), check=True)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def mouse_to(self, x, y):
        self.xdotool("mousemove", x, y)

    def press(self):
        self.xdotool("mousedown", 1)

    def release(self):
        self.xdotool("mouseup", 1)

    def click_at(self, x, y):
        self.mouse_to(x, y)
        self.press()
        self.release()

    def drag_from_crosshair(self, *points, steps=8):
        """Presses on the crosshair's centre and moves through the screen points with the button
        held, in small steps as a hand would. The button stays down."""
        x, y = self.centre(ID_FINDER)
        self.mouse_to(x, y)
        self.press()
        # The pick puts the cursor on the crosshair's centre when it starts; moves made before
        # that would be undone.
        wait_for(lambda: self.pane().startswith("Running on "), timeout=10)
        for to_x, to_y in points:
            for step in range(1, steps + 1):
                self.mouse_to(x + (to_x - x) * step // steps, y + (to_y - y) * step // steps)
            x, y = to_x, to_y
        return self

    def wait_for_report(self, header="Process: ", count=1, timeout=60):
        """Waits until the pane holds count reports with that header and has stopped changing."""
        return self.wait_for_pane(
            lambda text: text.count("\r\n" + header) >= count and text.endswith("\r\n\r\n"),
            timeout)

    def windows_path(self, path):
        """The path as Windows programs in the prefix see it."""
        result = subprocess.run([WINE, "winepath", "-w", path], env=self.env(), capture_output=True,
                                text=True, check=True)
        return result.stdout.strip()

    def start_target(self, *args):
        """Starts the project's target program (SHIMTARGET_EXE) with the arguments; returns the
        process and its window's handle once the window is up."""
        process = self.start_helper(os.environ["SHIMTARGET_EXE"], *args)
        line = process.stdout.readline().decode("ascii", "replace").split()
        if len(line) != 2 or line[0] != "ready":
            raise RuntimeError(f"target program did not start: {line}")
        return process, line[1]

    def x_window(self, title):
        """The X window id of a top-level window, by its title."""
        result = subprocess.run(["xdotool", "search", "--name", "^" + title + "$"],
                                env=self.env(), capture_output=True, text=True, check=False)
        ids = result.stdout.split()
        return ids[0] if ids else None

    def drop(self, paths, timeout=60):
        """Drops files on the dialog through the X drop client (XDROP) and waits until their
        reports are complete; returns the pane's text."""
        window = self.x_window("Quillet")
        if window is None:
            raise RuntimeError("no X window for Quillet")
        subprocess.run([os.environ["XDROP"], window, *paths], env=self.env(), check=True)
        return self.wait_for_pane(lambda text: text.count("\r\nFile: ") >= len(paths),
                                  timeout)

    def wait_for_pane(self, ready, timeout=60):
        """Waits until ready(pane text) holds and the text has stopped changing; returns it."""
        end = time.monotonic() + timeout
        last = None
        while time.monotonic() < end:
            text = self.pane()
            if ready(text) and text == last:
                return text
            last = text
            time.sleep(0.3)
        return self.pane()

    # Pictures of the screen.

    def screenshot(self, path):
        """Saves the whole screen; the format follows the file's extension."""
        subprocess.run(["import", "-window", "root", path], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def screenshot_dialog(self, path):
        """Saves the part of the screen that the dialog's client area covers (without a window
        manager nothing draws the frame)."""
        left, top = (int(v) for v in self.ask("client-to-screen", self.hwnd, 0, 0).split())
        width, height = self.client_size()
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                        "+repage", path], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def screen_pixels(self):
        """The whole screen as (width, height, RGB bytes)."""
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "screen.ppm")
            subprocess.run(["import", "-window", "root", "-depth", "8", path], env=self.env(),
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(path, "rb") as ppm:
                data = ppm.read()
        return parse_ppm(data)


def parse_ppm(data):
    """Reads a binary PPM (P6, maxval 255) into (width, height, RGB bytes)."""
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position + 1:position + 1 + width * height * 3]
    return width, height, pixels


def differing_pixels(first, second, outside=None):
    """Screen positions where two pictures differ, leaving out the (left, top, right, bottom)
    rectangles in outside."""
    width, height, a = first
    _, _, b = second
    skip = outside or []
    found = []
    for y in range(height):
        row = y * width * 3
        if a[row:row + width * 3] == b[row:row + width * 3]:
            continue
        for x in range(width):
            i = row + x * 3
            if a[i:i + 3] != b[i:i + 3] and not any(
                    l <= x < r and t <= y < btm for l, t, r, btm in skip):
                found.append((x, y))
    return found


def tool_available(name):
    return shutil.which(name) is not None
