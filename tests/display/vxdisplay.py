"""Drives the built program on a real X display, as a person would.

    from vxdisplay import Session

    class FrameTest(unittest.TestCase):
        def test_frame(self):
            with Session() as s:
                frame = s.wait_window(r"Форма №1|ветеринар")
                s.click_menu("Печать", "Выход")     # menus by their texts (without the dots)
                ...

A Session starts its own Xvfb (1280x1024x24, a free display), the openbox window manager and
keyboard layouts "us,ru"; makes a temporary data directory (s.data) and INI directory
(s.ini_dir, VEXLO_INI_DIR) and starts $VEXLO_BIN there with VEXLO_PROBE set. The program then
keeps <probe>/windows.json up to date: every visible window and control with screen rectangles
(see framework/engine/probe.h). Input goes in only as real X events through XTest (xdotool);
results come back from the probe, the data files ($VEXLO_DUMP), the INI file and screenshots.

Session(a11y=True) also starts a private session bus and accessibility bus for its display, and
s.accessible_tree() returns what a screen reader sees of the program (AT-SPI).

Windows are found by a regular expression on their title (re.search); controls by the engine's
names ("?BUTTON19", "?FRM:NOMSV"), or for windows that are not the engine's (message boxes,
standard dialogs) by their text, object name or class. When the body of the with-block fails,
the probe's window list is printed and a screenshot "failure.png" saved in s.artifacts.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image

WIDTH, HEIGHT = 1280, 1024


class DisplayError(AssertionError):
    pass


class CIDict(dict):
    """A dict with case-insensitive string keys (INI sections and keys)."""

    def __setitem__(self, k, v):
        super().__setitem__(k.lower(), v)

    def __getitem__(self, k):
        return super().__getitem__(k.lower())

    def __contains__(self, k):
        return super().__contains__(k.lower())

    def get(self, k, default=None):
        return super().get(k.lower(), default)


def _caller_test_id():
    f = sys._getframe(2)
    while f:
        obj = f.f_locals.get("self")
        if isinstance(obj, unittest.TestCase):
            return obj.id()
        f = f.f_back
    return "session"


def _artifacts_root():
    root = os.environ.get("VEXLO_ARTIFACTS")
    if not root:
        root = os.path.join(tempfile.gettempdir(), "vexlo-display-artifacts")
    return root


def seed(data_dir, file, records):
    """Adds records (dicts keyed by dictionary names, "FRM:NOMSV") to a data file, through the
    program's own driver (vexlo-seed); the file is created when missing."""
    seeder = os.environ.get("VEXLO_SEED") or "vexlo-seed"
    text = "\n".join(json.dumps(r, ensure_ascii=False) for r in records) + "\n"
    r = subprocess.run([seeder, data_dir, file], input=text.encode(), stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=60)
    if r.returncode != 0:
        raise DisplayError(f"vexlo-seed {file}: {r.stderr.decode(errors='replace')}")


def _center(rect):
    x, y, w, h = rect
    return x + w // 2, y + h // 2


class Session:
    def __init__(self, name=None, data=None, env=None, start=True, a11y=False):
        self.bin = os.environ.get("VEXLO_BIN") or "shell/vexlo"
        self.dump = os.environ.get("VEXLO_DUMP") or "vexlo-dump"
        self.source = os.environ.get("VEXLO_SOURCE") or os.getcwd()
        self.name = re.sub(r"[^A-Za-z0-9_.-]+", "_", name or _caller_test_id())
        self.artifacts = os.path.join(_artifacts_root(), self.name)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts, exist_ok=True)
        self.tmp = tempfile.mkdtemp(prefix="vexlo-display-")
        self.data = os.path.join(self.tmp, "data")
        self.ini_dir = os.path.join(self.tmp, "ini")
        self.probe_dir = os.path.join(self.tmp, "probe")
        for d in (self.data, self.ini_dir, self.probe_dir):
            os.makedirs(d, exist_ok=True)
        if data:  # a directory of data files to start from
            for f in os.listdir(data):
                shutil.copy(os.path.join(data, f), self.data)
        self.extra_env = dict(env or {})
        self.xvfb = self.wm = self.proc = None
        # A screen reader's view (AT-SPI): a private session bus and accessibility bus for this
        # display alone, so that tests running side by side never see each other's programs.
        self.a11y = a11y
        self.bus = self.a11y_bus = None
        self.display = None
        self._log = None
        self._runs = 0
        self._start = start
        self._pressed = None  # button presses the program is to have been given

    # ------------------------------------------------------------ lifetime

    def __enter__(self):
        try:
            self._start_display()
            if self._start:
                self.start()
        except BaseException:
            self._teardown()
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None and self.display:
            self._report_failure()
        try:
            if self.proc and self.proc.poll() is None:
                try:
                    self.quit(timeout=10)
                except Exception:
                    pass
        finally:
            self._teardown()
        return False

    def _start_display(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        num = b""
        deadline = time.time() + 20
        while not num.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            num += chunk
        os.close(r)
        if not num.strip():
            raise DisplayError("Xvfb did not start")
        self.display = ":" + num.decode().strip()
        self.env = dict(os.environ)
        self.env.update({"DISPLAY": self.display, "QT_QPA_PLATFORM": "xcb", "XDG_CONFIG_HOME": self.tmp})
        self.env.pop("QT_QPA_PLATFORMTHEME", None)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The window manager is ready once it has claimed the screen.
        self.wait_for(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in self._x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]),
                      timeout=30, what="openbox to start")
        self._x(["setxkbmap", "-layout", "us,ru", "-option", ""])
        if self.a11y:
            self._start_a11y()

    def _start_a11y(self):
        r, w = os.pipe()
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--print-address={w}"],
                                    pass_fds=(w,), env=self.env, start_new_session=True,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        address = b""
        deadline = time.time() + 20
        while not address.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(r, 256)
            if not chunk:
                break
            address += chunk
        os.close(r)
        if not address.strip():
            raise DisplayError("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.decode().strip()
        # The accessibility bus of this session; it puts its address on the display's root window.
        self.a11y_bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                         env=self.env, start_new_session=True,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for(lambda: b"AT_SPI_BUS(STRING)" in self._x(["xprop", "-root", "AT_SPI_BUS"], check=False),
                      timeout=20, what="the accessibility bus to start")
        # Qt talks to screen readers only when asked to (a desktop's setting, or this).
        self.extra_env.setdefault("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1")

    def accessible_tree(self):
        """What a screen reader sees of the program (tests/display/atspi_tree.py): nested dicts
        of role, name and children, from the application down; None while it is not there."""
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_tree.py")
        r = subprocess.run(["/usr/bin/python3", script, str(self.proc.pid)], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        if r.returncode != 0:
            raise DisplayError("atspi_tree.py: " + r.stderr.decode(errors="replace"))
        return json.loads(r.stdout.decode() or "null")

    def start(self):
        """Starts the program (again) in the same data and INI directories."""
        self._runs += 1
        self._pressed = None
        for stale in (self.probe_file, os.path.join(self.probe_dir, "presses")):
            try:
                os.remove(stale)
            except FileNotFoundError:
                pass
        env = dict(self.env)
        env.update({"VEXLO_INI_DIR": self.ini_dir, "VEXLO_PROBE": self.probe_dir, "LC_ALL": "C.UTF-8"})
        env.update(self.extra_env)
        self._log = open(os.path.join(self.artifacts, f"program-{self._runs}.log"), "wb")
        self.proc = subprocess.Popen([self.bin], cwd=self.data, env=env, stdout=self._log, stderr=subprocess.STDOUT)
        frame = self.wait_for(lambda: self.frame_window(), timeout=20, what="the main frame to appear")
        # Input only once the X server shows the frame: a click before that lands on the screen's
        # root and never reaches the program.
        if self.wait_window("^" + re.escape(frame["title"]) + "$", timeout=20).get("xid") is None:
            raise DisplayError("the main frame is not on the screen:\n" + self.describe())
        self.settle()

    def quit(self, timeout=15):
        """Closes the program through its own exit path (the frame's "Выход"), then waits for it."""
        if not self.proc or self.proc.poll() is not None:
            return self.proc.returncode if self.proc else None
        try:
            self.click_menu("Печать", "Выход")
        except Exception as e:
            # Fall back on the window manager's close of the frame, only once the frame is the
            # active window: alt+F4 closes whatever window is active (a print preview over the
            # frame, say), and the program would go on with no word why.
            frame = self.frame_window()
            try:
                self.close_by_key("^" + re.escape(frame["title"]) + "$")
            except (DisplayError, TypeError, KeyError):
                raise DisplayError(f"the frame's exit could not be reached ({e}); the frame is not the active window:\n"
                                   + self.describe()) from None
        try:
            rc = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.screenshot("quit-timeout")
            self.proc.kill()
            self.proc.wait()
            raise DisplayError("the program did not end after Выход:\n" + self.describe())
        if self._log:
            self._log.close()
            self._log = None
        return rc

    def restart(self):
        self.quit()
        self.start()

    def _teardown(self):
        for p in (self.proc, self.wm):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        # The buses, each with what it started (the accessibility bus's own daemon, the registry).
        for p in (self.a11y_bus, self.bus):
            if p:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(p.pid, signal.SIGKILL)
                    p.wait()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if self._log:
            self._log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # ------------------------------------------------------------ the probe

    @property
    def probe_file(self):
        return os.path.join(self.probe_dir, "windows.json")

    def snapshot(self):
        try:
            with open(self.probe_file, encoding="utf-8") as f:
                return json.load(f)
        except (FileNotFoundError, json.JSONDecodeError):
            return {"windows": []}

    def windows(self):
        """Every visible window as the probe last saw it."""
        return self.snapshot()["windows"]

    def message_box(self):
        """The most recent message box on the screen, or None."""
        return next((w for w in reversed(self.windows()) if w.get("class") == "QMessageBox"), None)

    def frame_window(self):
        return next((w for w in self.windows() if w.get("kind") == "frame"), None)

    def find_window(self, title_re):
        rx = re.compile(title_re)
        for w in reversed(self.windows()):  # the most recently opened first
            if rx.search(w.get("title", "")):
                return w
        return None

    def wait_window(self, title_re, timeout=10):
        w = self.wait_for(lambda: self.find_window(title_re), timeout=timeout, what=f"window /{title_re}/")
        if w.get("kind") != "mdi":
            # The program reports a window shown a moment before the X server has it mapped.
            def xid():
                out = self._x(["xdotool", "search", "--onlyvisible", "--name", title_re], check=False).split()
                return int(out[-1]) if out else None

            try:
                w["xid"] = self.wait_for(xid, timeout=timeout, what=f"the X window /{title_re}/")
            except DisplayError:
                w["xid"] = None
        return w

    def wait_gone(self, title_re, timeout=10):
        self.wait_for(lambda: self.find_window(title_re) is None, timeout=timeout, what=f"window /{title_re}/ to close")

    def control(self, win_re, name, timeout=10):
        """A control of a window: by engine name ("?OK"), else by text, object name or class
        (exactly, then as a regular expression on the text). Windows whose title matches win_re
        are searched from the most recently opened; win_re "" searches every window."""

        rx = re.compile(win_re)

        def look():
            # The most recently opened window first; an empty pattern matches every window.
            wins = [w for w in reversed(self.windows()) if rx.search(w.get("title", ""))]
            for key in ("name", "text"):
                for w in wins:
                    for c in w.get("controls", []):
                        if c.get(key) and c[key].lower() == name.lower():
                            return c
            if not name.startswith("?"):
                for w in wins:
                    for c in w.get("controls", []):
                        if c.get("text") and re.search(name, c["text"]):
                            return c
            return None

        return self.wait_for(look, timeout=timeout, what=f"control {name!r} in /{win_re}/")

    def settle(self, quiet=0.3, timeout=5):
        """Waits until the probe has not changed for `quiet` seconds."""
        last, since, end = None, time.time(), time.time() + timeout
        while time.time() < end:
            try:
                m = os.stat(self.probe_file).st_mtime_ns
            except FileNotFoundError:
                m = None
            if m != last:
                last, since = m, time.time()
            elif time.time() - since >= quiet:
                return
            time.sleep(0.05)

    def wait_for(self, predicate, timeout=10, what="a condition", interval=0.05):
        end = time.time() + timeout
        while True:
            v = predicate()
            if v:
                return v
            if self.proc is not None and self.proc.poll() is not None and what != "the program to end":
                raise DisplayError(f"the program ended (code {self.proc.returncode}) while waiting for {what}")
            if time.time() >= end:
                raise DisplayError(f"timed out after {timeout}s waiting for {what}\n" + self.describe())
            time.sleep(interval)

    def describe(self):
        lines = []
        for w in self.windows():
            lines.append(f"- {w.get('kind')} {w.get('title')!r} frame={w.get('frame')} client={w.get('client')}"
                         f" active={w.get('active')} enabled={w.get('enabled')}")
            for c in w.get("controls", []):
                lines.append(f"    {c.get('name')} {c.get('type')} {c.get('text', '')[:40]!r} {c.get('rect')}"
                             f"{' disabled' if not c.get('enabled', True) else ''}{' focused' if c.get('focused') else ''}")
        return "\n".join(lines) or "(no windows)"

    def _report_failure(self):
        try:
            self.screenshot("failure")
            print(f"\n[vxdisplay] windows at failure ({self.name}):\n{self.describe()}\n"
                  f"[vxdisplay] screenshot: {os.path.join(self.artifacts, 'failure.png')}", file=sys.stderr)
        except Exception as e:  # the report must not hide the failure
            print(f"[vxdisplay] no failure report: {e}", file=sys.stderr)

    # ------------------------------------------------------------ input (XTest)

    def _x(self, args, check=True):
        r = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if check and r.returncode != 0:
            raise DisplayError(f"{args[0]} failed: {r.stderr.decode(errors='replace')}")
        return r.stdout

    def move(self, x, y):
        # --sync waits for the pointer to move, and would wait in vain where it already is.
        here = self._x(["xdotool", "getmouselocation", "--shell"], check=False).decode()
        if f"X={int(x)}\nY={int(y)}\n" in here:
            return
        self._x(["xdotool", "mousemove", "--sync", str(int(x)), str(int(y))])

    def _presses(self):
        """Mouse presses the program has read (the probe writes the count as each comes)."""
        try:
            with open(os.path.join(self.probe_dir, "presses"), encoding="ascii") as f:
                return int(f.read() or 0)
        except (FileNotFoundError, ValueError):
            return 0

    def _press_base(self):
        """The presses the program has been given before the one about to be sent."""
        if self.proc is None or self.proc.poll() is not None:
            return None
        return max(self._pressed or 0, self._presses())

    def _delivered(self, base, presses):
        """Waits until the program has been given `presses` more button presses than `base`: the
        window manager's click-to-focus grab holds the pointer until it lets the click through,
        and keys typed meanwhile would overtake it."""
        if base is None or self.proc.poll() is not None:
            return
        self._pressed = base + presses
        try:
            self.wait_for(lambda: self.proc.poll() is not None or self._presses() >= self._pressed,
                          what="the program to get the click", interval=0.02)
        except DisplayError as e:
            wanted, self._pressed = self._pressed, None  # start again from what the program reports
            raise DisplayError(f"{e}\n(button presses: {self._presses()} seen, {wanted} wanted)") from None

    def click(self, x, y, button=1, double=False, program=True):
        """A real press and release at screen (x, y); returns once the program has it, unless
        `program` is False (the window manager's own title bar, another program's window)."""
        self.move(x, y)
        base = self._press_base() if program else None
        args = ["xdotool", "click"]
        if double:
            args += ["--repeat", "2", "--delay", "60"]
        self._x(args + [str(button)])
        self._delivered(base, 2 if double else 1)

    def click_control(self, win_re, name, dx=None, dy=None, button=1, double=False):
        """Clicks a control: at (dx, dy) from its top left corner, else in the middle of the part
        that can be seen ("shown"); fails when none of it can be seen."""
        c = self.control(win_re, name)
        x, y, w, h = c["rect"]
        if dx is not None or dy is not None:
            self.click(x + (w // 2 if dx is None else dx), y + (h // 2 if dy is None else dy), button, double)
            return c
        sx, sy, sw, sh = c.get("shown", c["rect"])
        if sw <= 0 or sh <= 0:
            raise DisplayError(f"{name} cannot be seen on the screen:\n" + self.describe())
        self.click(sx + sw // 2, sy + sh // 2, button, double)
        return c

    def click_control_until(self, win_re, name, done, what, timeout=10, again=3, dx=None):
        """Clicks a control (`dx` from its left edge, else in the middle of its shown part) until
        done() holds: a click that came before its window took input is lost, so it is repeated
        (every `again` seconds) while the control is still there."""
        end = time.time() + timeout
        while True:
            self.click_control(win_re, name, dx=dx)
            try:
                return self.wait_for(done, timeout=min(again, max(end - time.time(), 0.1)), what=what)
            except DisplayError:
                if time.time() >= end:
                    raise
                try:
                    self.control(win_re, name, timeout=0.5)
                except DisplayError:  # gone meanwhile: wait for the rest
                    return self.wait_for(done, timeout=max(end - time.time(), 0.1), what=what)

    def type_into(self, win_re, name, text, timeout=10, shows=None, over=False, dx=None):
        """Clicks a control, waits until it has the focus (clicking again if the click came before
        its window took input), types text (over what it held, with `over`) and waits until the
        control shows it (or `shows`, for a field that keeps less than was typed)."""
        shows = text if shows is None else shows
        self.click_control_until(win_re, name, lambda: self.control(win_re, name).get("focused"),
                                 what=f"{name} to have the focus", timeout=timeout, dx=dx)
        if over:
            self.keys("ctrl+a")
        # Characters outside the keyboard's layouts are typed through a key code that xdotool
        # maps for each of them; under load the program can read the key before the new map and
        # lose the character. The field is then typed again from empty.
        for attempt in range(3):
            self.type(text)
            try:
                return self.wait_for(lambda: shows in self.control(win_re, name).get("text", ""),
                                     timeout=timeout if attempt == 2 else 3, what=f"{name} to show {shows!r}")
            except DisplayError:
                if attempt == 2:
                    raise
                self.keys("ctrl+a")
                self.key("BackSpace")
                self.wait_for(lambda: self.control(win_re, name).get("text", "").strip() == "",
                              what=f"{name} to be empty")

    def drag(self, x1, y1, x2, y2, steps=8, program=True):
        """Presses the left button at (x1, y1), moves to (x2, y2) in steps, releases it (on the
        program's window unless `program` is False: the window manager's title bar)."""
        self.move(x1, y1)
        base = self._press_base() if program else None
        self._x(["xdotool", "mousedown", "1"])
        for i in range(1, steps + 1):
            time.sleep(0.03)
            self.move(x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps)
        time.sleep(0.05)
        self._x(["xdotool", "mouseup", "1"])
        self._delivered(base, 1)

    def close_mdi(self, title_re, control=None):
        """Closes an MDI window with the close button of its title bar (or of the menu bar's
        corner when it is maximised): the most recent MDI window whose title matches, or that
        holds the named control. Clicks once more if the first click only activated it."""
        rx = re.compile(title_re)

        def find():
            for w in reversed(self.windows()):
                if w.get("kind") == "mdi" and rx.search(w.get("title", "")) and (
                        control is None or any(c.get("name") == control for c in w.get("controls", []))):
                    return w
            return None

        w = self.wait_for(find, what=f"MDI window /{title_re}/")
        if "closeButton" not in w:
            raise DisplayError(f"/{title_re}/ has no close button:\n" + self.describe())
        self.click(*_center(w["closeButton"]))
        try:
            self.wait_for(lambda: find() is None, timeout=3, what=f"/{title_re}/ to close")
        except DisplayError:
            w = find()
            if w and "closeButton" in w:
                self.click(*_center(w["closeButton"]))

    def maximize_frame(self, at=0.5):
        """Maximises the main frame with a double click on its title bar (openbox), at `at` of
        its width. On a busy display the two clicks may come too far apart to be a double click,
        or the first may come before the window takes input: the window manager's own state says
        whether it worked, and the double click is repeated (only while it has not)."""
        f = self.wait_for(self.frame_window, what="the main frame")
        if f.get("maximized"):
            return f
        xid = self.wait_window("^" + re.escape(f["title"]) + "$").get("xid")

        def maximised():
            if xid is not None:
                state = self._x(["xprop", "-id", str(xid), "_NET_WM_STATE"], check=False)
                if b"_NET_WM_STATE_MAXIMIZED_VERT" in state and b"_NET_WM_STATE_MAXIMIZED_HORZ" in state:
                    return True
            return bool((self.frame_window() or {}).get("maximized"))

        for attempt in range(5):
            f = self.frame_window()
            x, y, w, h = f["frame"]
            self.click(x + int(w * at), max(y, 0) + 6, double=True, program=False)
            try:
                self.wait_for(maximised, timeout=5, what="the frame to be maximised")
                break
            except DisplayError:
                if attempt == 4:
                    raise
        self.wait_for(lambda: (self.frame_window() or {}).get("maximized"), what="the frame to be maximised")
        self.settle()
        return self.frame_window()

    def click_row(self, win_re, list_name, row_index, double=False, column_x=None):
        """Clicks a row of a list (by its index in the list), which must be on the screen."""

        def row():
            c = self.control(win_re, list_name)
            return next((r for r in c.get("rows", []) if r["row"] == row_index), None)

        r = self.wait_for(row, what=f"row {row_index} of {list_name} on the screen")
        x, y, w, h = r["rect"]
        self.click(x + (column_x if column_x is not None else min(20, w // 2)), y + h // 2, double=double)
        return r

    def click_menu(self, *path):
        """Opens the frame's menu and clicks through items whose text contains each of path."""
        frame = self.wait_for(self.frame_window, what="the main frame")
        top = next((m for m in frame.get("menus", []) if path[0].lower() in m["text"].lower()), None)
        if not top:
            raise DisplayError(f"no menu {path[0]!r}:\n" + self.describe())
        self.click(*_center(top["rect"]))  # returns once the program has the press
        if len(path) > 1:
            self.wait_for(lambda: any(w.get("kind") == "menu" for w in self.windows()), what="the menu")
        for item in path[1:]:
            def find():
                for w in reversed(self.windows()):
                    if w.get("kind") != "menu":
                        continue
                    for c in w.get("controls", []):
                        if item.lower() in c["text"].lower():
                            return c
                return None

            c = self.wait_for(find, what=f"menu item {item!r}")
            self.click(*_center(c["rect"]))

    def key(self, *keys):
        """Real key presses, in xdotool's names: s.key('Return'), s.key('Tab', 'Tab')."""
        self._x(["xdotool", "key", "--delay", "40"] + list(keys))
        time.sleep(0.05)

    def keys(self, combo):
        """One chord: s.keys('ctrl+s')."""
        self.key(combo)

    def active_xid(self):
        """The X window the window manager has made active (its client window), or None."""
        out = self._x(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out.isdigit() else None

    def wait_active(self, title_re, timeout=10):
        """Waits until the window takes the keys: the program has it active and, for a top-level
        window, the window manager has given it the X focus. A window the probe reports shown can
        still be waiting for the window manager; a key pressed then goes to the window before it
        (a blocked one drops it)."""
        w = self.wait_window(title_re, timeout=timeout)
        return self.wait_for(lambda: self._takes_keys(title_re, w.get("xid")), timeout=timeout,
                             what=f"/{title_re}/ to be the active window")

    def _takes_keys(self, title_re, xid):
        """The window, when the program has it active and (for a top-level one) it is the X focus."""
        win = self.find_window(title_re)
        return win if win and win.get("active") and (xid is None or self.active_xid() == xid) else None

    def answer(self, key="Return", button=None, timeout=10):
        """Answers the message box on top, once the window manager has mapped it and given it the
        keys: with a click on the button named `button`, else with `key`. Returns the box."""
        box = self.wait_for(lambda: self.message_box(), timeout=timeout, what="a message box")
        box = self.wait_active("^" + re.escape(box["title"]) + "$", timeout=timeout)
        if button is None:
            self.key(key)
            return box
        buttons = [c for c in box.get("controls", []) if c.get("type") == "button"
                   and c.get("text", "").replace("&", "").lower() == button.lower()]
        if not buttons:
            raise DisplayError(f"no button {button!r} in the message box:\n" + self.describe())
        self.click(*_center(buttons[0]["rect"]))
        return box

    def save_pdf(self, path, timeout=20):
        """Saves the active print preview to a PDF through its file dialog (ctrl+s), typing the
        file name once the dialog takes the keys; returns once the file is written."""
        self.wait_for(lambda: (self.find_window(r"Предварительный просмотр") or {}).get("active"),
                      timeout=timeout, what="the preview active")
        self.keys("ctrl+s")
        self.wait_active(r"^Сохранить PDF$", timeout=timeout)
        self.type_into(r"^Сохранить PDF$", "fileNameEdit", path, timeout=timeout)
        self.key("Return")
        self.wait_for(lambda: os.path.exists(path) and os.path.getsize(path) > 0, timeout=timeout, what="the PDF")
        self.wait_gone(r"^Сохранить PDF$", timeout=timeout)
        self.settle()
        return path

    def close_by_key(self, title_re):
        """The window manager's close key (alt+F4) for a top-level window, once that window is the
        active one: the key closes the active window, and nothing else must get it. The chord goes
        through XTest only: xdotool's --window sends each key event as XSendEvent once the focus
        is elsewhere (the question that the close opens takes it between press and release), and
        the X server then keeps the other keys held down, repeating alt+F4 on every window that
        gets the focus."""
        w = self.wait_window(title_re)
        if not self._takes_keys(title_re, w.get("xid")):
            x, y, fw, fh = w["frame"]
            self.click(x + fw // 2, max(y, 0) + 6, program=False)  # its title bar
        self.wait_active(title_re)
        self.key("alt+F4")

    def _bind_outside_layouts(self, text):
        """Gives each character of text that neither layout has (ł, 中, ✓) a spare key code of its
        own for the rest of the session. xdotool would otherwise bind one for each key and take it
        back at once; a program that reads the key map after the taking back, as a busy one does,
        gets no character."""
        bound = getattr(self, "_bound", None)
        if bound is None:
            bound = self._bound = set()
            table = self._x(["xmodmap", "-pke"]).decode()
            self._spare = [int(m.group(1)) for m in re.finditer(r"^keycode\s+(\d+) =\s*$", table, re.M)]
        new = [c for c in dict.fromkeys(text)
               if ord(c) > 0x7e and not 0x400 <= ord(c) <= 0x4ff and c != "№" and c not in bound]
        if not new:
            return
        args = ["xmodmap"]
        for c in new:
            if not self._spare:
                break
            sym = f"U{ord(c):04X}"
            args += ["-e", f"keycode {self._spare.pop()} = {sym} {sym}"]
            bound.add(c)
        self._x(args)

    def type(self, text, delay=40):
        """Types text with real key events; Cyrillic goes through the "ru" layout."""
        self._bind_outside_layouts(text)
        self._x(["xdotool", "type", "--delay", str(delay), text])
        time.sleep(0.05)

    # ------------------------------------------------------------ what comes back

    def screenshot(self, name):
        """The whole screen as a PIL image, also saved as <artifacts>/<name>.png."""
        path = os.path.join(self.artifacts, name + ".png")
        self._x(["import", "-silent", "-window", "root", path])
        return Image.open(path).convert("RGB")

    @staticmethod
    def pixel(img, x, y):
        return img.getpixel((int(x), int(y)))

    def ini(self):
        """The INI file as {section: {key: value}}, case-insensitive; {} when there is none."""
        path = None
        for f in os.listdir(self.ini_dir):
            if f.lower() == "vexlo.ini":
                path = os.path.join(self.ini_dir, f)
        result = CIDict()
        if not path:
            return result
        section = None
        with open(path, encoding="cp1251") as f:
            for line in f:
                line = line.strip()
                if line.startswith("[") and line.endswith("]"):
                    section = CIDict()
                    result[line[1:-1]] = section
                elif "=" in line and section is not None:
                    k, v = line.split("=", 1)
                    section[k.strip()] = v.strip()
        return result

    def records(self, file):
        """Every record of KAGENT, FORMA1, ANIM or LAST, as dicts of texts."""
        r = subprocess.run([self.dump, self.data, file], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if r.returncode != 0:
            raise DisplayError(f"vexlo-dump {file}: {r.stderr.decode(errors='replace')}")
        return [json.loads(line) for line in r.stdout.decode().splitlines() if line.strip()]
