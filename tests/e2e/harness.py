"""End-to-end harness: drives the real Hoverlatch.exe under Wine as a user and peer programs would.

A case file passes functions to ``run_case``; each gets a fresh ``Session`` (its own %APPDATA% content, a
private copy of the program) and fails on its first unmet ``expect``. The Wine prefix and the display come from
scripts/wine-env.sh. Wine's output is never read through a pipe (its helper processes keep pipes open): every
process writes to a log file, and the Windows-side probe (peer.exe) answers through a result file.
"""
import argparse
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
from collections import namedtuple

TASK_VIEW_CHORD = [(0x5B, "down"), (0x09, "down"), (0x09, "up"), (0x5B, "up")]
POLL_INTERVAL_S = 0.02  # how often wait_for re-checks its condition
PROBE_TIMEOUT_S = 30    # one probe run; Wine starts one in a fraction of a second
KeyEvent = namedtuple("KeyEvent", "vk action injected time")  # time: GetTickCount ms


class CaseFailure(Exception):
    """A checked expectation that did not hold."""


def expect(condition, message):
    if not condition:
        raise CaseFailure(message)


def wait_for(predicate, timeout, what):
    """Polls `predicate` until it returns a true value, which is returned; fails after `timeout` s."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        expect(time.monotonic() < deadline, "timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(POLL_INTERVAL_S)
    return value


def holds(predicate, duration, what):
    """Checks that `predicate` stays true for `duration` s ("nothing more happens")."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        expect(predicate(), "no longer true: %s" % what)
        time.sleep(POLL_INTERVAL_S)


def log_lines(path):
    """The complete lines written to a file so far (a line being written has no newline yet)."""
    try:
        with open(path, "rb") as log:
            return log.read().decode("utf-8", "replace").split("\n")[:-1]
    except FileNotFoundError:
        return []


class Process(subprocess.Popen):
    """A Windows program started with `wine`: the Linux pid is the Windows process."""

    def alive(self):
        return self.poll() is None

    def wait(self, timeout=None):
        """The exit code, or None when the process still runs after `timeout` s."""
        try:
            return super().wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.alive():
            os.kill(self.pid, signal.SIGCONT)  # a stopped process cannot die
            self.kill()
            super().wait(10)


class Peer:
    """The watching peer stand-in's log: "KEY vk action injected time", "MSG name wParam lParam"."""

    def __init__(self, process, log_path):
        self.process, self.log_path = process, log_path

    def mark(self):
        return len(log_lines(self.log_path))

    def records(self, kind, since=0):
        return [line.split()[1:] for line in log_lines(self.log_path)[since:] if line.startswith(kind + " ")]

    def events(self, since=0):
        return [KeyEvent(int(r[0]), r[1], int(r[2]), int(r[3])) for r in self.records("KEY", since)]

    def chord(self, since=0):
        return [(e.vk, e.action) for e in self.events(since)]

    def messages(self):
        return [(r[0], int(r[1]), int(r[2])) for r in self.records("MSG")]


class Session:
    """One clean run: a fresh %APPDATA%, a private copy of Hoverlatch.exe, and the processes it started."""

    def __init__(self, bin_dir, standins_dir):
        for name in ("WINEPREFIX", "DISPLAY"):
            expect(os.environ.get(name), "%s is not set: run scripts/test.sh, or source scripts/wine-env.sh" % name)
        self.standins_dir, self.prefix = os.path.abspath(standins_dir), os.environ["WINEPREFIX"]
        self.dir = tempfile.mkdtemp(prefix="hoverlatch-e2e-")
        self.processes = []
        user = pwd.getpwuid(os.getuid()).pw_name
        self.appdata = os.path.join(self.prefix, "drive_c", "users", user, "AppData", "Roaming")
        self.config_path = os.path.join(self.appdata, "quenby", "Hoverlatch", "config.ini")
        # Wine 8's CSIDL_STARTUP (its user.reg names "StartUp"; the Linux file system tells the case apart).
        self.startup_dir = os.path.join(self.appdata, "Microsoft", "Windows", "Start Menu", "Programs", "StartUp")
        # The program runs from a folder of its own, so a case can lay files beside it.
        self.exe_dir = os.path.join(self.dir, "app")
        self.exe = os.path.join(self.exe_dir, "Hoverlatch.exe")
        os.makedirs(self.exe_dir)
        shutil.copy2(os.path.join(bin_dir, "Hoverlatch.exe"), self.exe)
        geometry = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True, timeout=10)
        self.width, self.height = map(int, geometry.stdout.split())

    def clean_user_state(self):
        shutil.rmtree(os.path.join(self.appdata, "quenby"), ignore_errors=True)
        if os.path.exists(os.path.join(self.startup_dir, "Hoverlatch.lnk")):
            os.remove(os.path.join(self.startup_dir, "Hoverlatch.lnk"))

    @staticmethod
    def write_file(path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    def write_appdata_file(self, relative, data):
        self.write_file(os.path.join(self.appdata, *relative.split("/")), data)

    def write_config(self, data):
        """Writes config.ini exactly as given (bytes, or text as UTF-8 without a mark)."""
        self.write_file(self.config_path, data)

    def read_config(self):
        try:
            with open(self.config_path, "rb") as config:
                return config.read()
        except FileNotFoundError:
            return None

    @staticmethod
    def windows_path(linux_path):
        return "Z:" + os.path.abspath(linux_path).replace("/", "\\")

    def standin(self, name):
        return os.path.join(self.standins_dir, name + ".exe")

    def start(self, name, exe, args=(), env=None):
        log_path = os.path.join(self.dir, "%s-%d.out" % (name, len(self.processes)))
        with open(log_path, "wb") as log:
            process = Process(["wine", exe] + [str(a) for a in args], stdin=subprocess.DEVNULL, stdout=log,
                              stderr=subprocess.STDOUT, cwd=self.dir, env=dict(os.environ, **(env or {})))
        process.name, process.log_path = name, log_path
        self.processes.append(process)
        return process

    def start_hoverlatch(self, env=None, shown=False):
        """Starts the program; with `shown`, returns once its tray icon is there."""
        process = self.start("hoverlatch", self.exe, env=env)
        if shown:
            self.wait_for_tray_icons(1)
        return process

    def start_key_watcher(self, window_class=None):
        """Starts the watching peer (with a window class: a companion) and waits until it is in place."""
        for attempt in (1, 2):
            log_path = os.path.join(self.dir, "peer-%d.log" % len(self.processes))
            args = [self.windows_path(log_path), "watch"] + ([window_class] if window_class else [])
            # Wine's errors, which the run's -all hides; "-all" first keeps Debian's wine wrapper quiet.
            process = self.start("peer", self.standin("peer"), args, env={"WINEDEBUG": "-all,err+all"})
            wait_for(lambda: "READY" in log_lines(log_path) or not process.alive(), 20, "the peer stand-in")
            if process.alive():
                return Peer(process, log_path)
            death = "the peer stand-in ended with %s before it was ready; its output %s, Wine's %s" % (
                process.poll(), log_lines(log_path), log_lines(process.log_path)[-10:])
            # The watcher never exits with 1; Wine does, silently, when it cannot set up a process or its display.
            expect(attempt == 1 and process.poll() == 1 and not log_lines(log_path), death)
            print("  %s: starting it once more" % death, flush=True)

    start_companion = start_key_watcher

    def close(self):
        for process in self.processes:
            process.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def describe(self):
        return "\n".join("  %s (exit %s) %s" % (p.name, p.poll(), "\n".join(log_lines(p.log_path)[-10:]))
                         for p in self.processes)

    def probe(self, *args):
        """Runs a peer probe; returns (exit code, its one-line answer)."""
        result_path = os.path.join(self.dir, "probe.txt")
        if os.path.exists(result_path):  # no stale answer for a probe that writes none
            os.remove(result_path)
        command = ["wine", self.standin("peer"), self.windows_path(result_path)] + [str(a) for a in args]
        for _ in range(2):  # the peer creates its answer file first: without one, Wine failed to start it
            with open(result_path + ".out", "ab") as log:
                code = subprocess.call(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                       cwd=self.dir, timeout=PROBE_TIMEOUT_S)
            if code != 1 or os.path.exists(result_path):
                break
            print("  Wine did not start the probe %s (exit 1, no answer file): starting it once more" % (args,))
        return code, (log_lines(result_path) or [""])[0]

    def tray_icons(self):
        """Window handles of the tray icons shown now (a re-added icon gets a new handle)."""
        return [int(h) for h in self.probe("trayicons")[1].split()]

    def wait_for_tray_icons(self, count, timeout=20):
        return wait_for(lambda: len(self.tray_icons()) == count, timeout, "%d tray icon(s)" % count)

    def find_window(self, window_class, title=None):
        """(hwnd, visible) of FindWindowW, or None."""
        code, answer = self.probe("find", window_class, *([title] if title else []))
        return (int(answer.split()[0]), answer.split()[1] == "1") if code == 0 else None

    def visible_window(self, window_class):
        found = self.find_window(window_class)
        return found if found and found[1] else None

    def menu_window(self):
        return self.visible_window("#32768")

    def choose_in_menu(self, *keys):
        """Opens the tray menu and posts the key presses to it (its modal loop acts on the key-down alone)."""
        self.post("Hoverlatch.MainWindow", 0x8014, title="Hoverlatch")  # WM_APP_SHOWMENU
        wait_for(self.menu_window, 15, "a visible popup menu")
        for vk in keys:
            self.post("#32768", 0x0100, vk, 0)  # WM_KEYDOWN
        wait_for(lambda: self.menu_window() is None, 15, "the menu to close")

    def post(self, window_class, message, wparam=0, lparam=0, title=None):
        """PostMessageW to the window of that class; `message` is a number or a name to register."""
        code, _ = self.probe("post", window_class, message, wparam, lparam, *([title] if title else []))
        expect(code == 0, "posting %s to %s failed (exit %s)" % (message, window_class, code))

    def press(self, action):
        """Injects the left button ("down" or "up") at the pointer."""
        expect(self.probe("button", action)[0] == 0, "injecting the left button %s failed" % action)

    def jump_pointer(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True, timeout=10)

    def move_pointer(self, x, y, step_px=20, pause_s=0.01):
        """Moves the pointer in small steps as a hand would, far below the jump threshold per poll."""
        out = subprocess.run(["xdotool", "getmouselocation"], capture_output=True, text=True, timeout=10).stdout
        at = dict(part.split(":") for part in out.split() if ":" in part)
        x0, y0 = int(at["x"]), int(at["y"])
        steps = max(1, -(-max(abs(x - x0), abs(y - y0)) // step_px))
        command = ["xdotool"]
        for i in range(1, steps + 1):
            command += ["mousemove", str(x0 + (x - x0) * i // steps), str(y0 + (y - y0) * i // steps)]
            command += ["sleep", str(pause_s)]
        subprocess.run(command, check=True, timeout=60)

    def corner_point(self, corner):
        """The outermost pixel of "TopLeft", "TopRight", "BottomLeft" or "BottomRight"."""
        return (self.width - 1 if "Right" in corner else 0, self.height - 1 if corner.startswith("Bottom") else 0)

    def near_corner(self, corner, distance=40):
        """A point `distance` px inside the screen from the corner along both axes."""
        x, y = self.corner_point(corner)
        return (x - distance if "Right" in corner else x + distance,
                y - distance if corner.startswith("Bottom") else y + distance)


def run_case(*cases):
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Hoverlatch.exe")
    parser.add_argument("--standins", required=True, help="folder of the stand-in executables")
    args = parser.parse_args()
    failed = 0
    for case in cases:
        session, began = None, time.monotonic()
        try:
            session = Session(args.bin, args.standins)
            session.clean_user_state()
            expect(session.find_window("Hoverlatch.MainWindow", "Hoverlatch") is None,
                   "a Hoverlatch from an earlier run still runs in this Wine prefix")
            session.jump_pointer(session.width // 2, session.height // 2)
            case(session)
            print("PASS %s (%.1f s)" % (case.__name__, time.monotonic() - began), flush=True)
        except Exception as error:  # a case ends on its first failure; the others still run
            failed += 1
            print("FAIL %s: %s" % (case.__name__, error if isinstance(error, CaseFailure) else traceback.format_exc()))
            print(session.describe() if session else "", flush=True)
        finally:
            if session:
                session.close()
    print("%d passed, %d failed" % (len(cases) - failed, failed), flush=True)
    sys.exit(1 if failed else 0)
