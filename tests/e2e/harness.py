"""End-to-end harness: drives the real Hoverlatch.exe under Wine like a user and peer programs would.

A case file calls ``run_case`` with one or more functions; each gets a fresh ``Session``:

    import harness

    def rests_in_corner(s):
        keys = s.start_key_watcher()
        s.start_hoverlatch()
        s.wait_for_tray_icons(1)
        ...
        harness.expect(condition, "what went wrong")

    harness.run_case(rests_in_corner)

The Wine prefix and the X display come from the environment (scripts/wine-env.sh, which
scripts/test.sh sources before ctest). Every process a session starts is killed when it ends,
also on failure. Wine's output is never read through a pipe: each process writes to a log file in
the session's folder, and the Windows-side probes (input_helper) answer through result files.
"""

import argparse
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

TASK_VIEW_CHORD = [(0x5B, "down"), (0x09, "down"), (0x09, "up"), (0x5B, "up")]
POLL_INTERVAL_S = 0.02  # how often wait_for re-checks its condition
HELPER_TIMEOUT_S = 30   # a single input_helper run; Wine starts one in a fraction of a second


class CaseFailure(Exception):
    """A checked expectation that did not hold."""


def expect(condition, message):
    """Fails the running case with `message` unless `condition` is true."""
    if not condition:
        raise CaseFailure(message)


def wait_for(predicate, timeout, what):
    """Polls `predicate` until it returns a true value, which is returned; fails after `timeout` s."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CaseFailure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(POLL_INTERVAL_S)


def holds(predicate, duration, what):
    """Checks that `predicate` stays true for `duration` s (used for "nothing more happens")."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if not predicate():
            raise CaseFailure("no longer true: %s" % what)
        time.sleep(POLL_INTERVAL_S)


class Process:
    """A Windows program started with `wine`: the Linux pid is the Windows process."""

    def __init__(self, name, popen, log_path):
        self.name = name
        self.popen = popen
        self.pid = popen.pid
        self.log_path = log_path
        self.started = time.monotonic()

    def alive(self):
        return self.popen.poll() is None

    def exit_code(self):
        """The exit code, or None while it runs."""
        return self.popen.poll()

    def wait(self, timeout):
        """The exit code once the process has ended, or None when it still runs after `timeout` s."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def suspend(self):
        os.kill(self.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self.pid, signal.SIGCONT)

    def cpu_seconds(self):
        """User plus system CPU time so far, from /proc/PID/stat."""
        with open("/proc/%d/stat" % self.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        # After the command name: state is field 3, utime 14 and stime 15 (1-based).
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def kill(self):
        if not self.alive():
            return
        try:
            os.kill(self.pid, signal.SIGCONT)  # a stopped process cannot die
            self.popen.kill()
        except ProcessLookupError:
            pass
        self.popen.wait(timeout=10)


class LogFile:
    """A text log a stand-in appends to while it runs; read whole on each query."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, "rb") as log:
                text = log.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return []
        # A line being written has no newline yet; it is read on a later query.
        return text.split("\n")[:-1]


class KeyEvent:
    def __init__(self, vk, action, injected, time_ms):
        self.vk = vk
        self.action = action  # "down" or "up"
        self.injected = injected
        self.time = time_ms   # GetTickCount milliseconds

    def __repr__(self):
        return "KeyEvent(0x%02X %s injected=%d t=%d)" % (self.vk, self.action, self.injected, self.time)


class KeyWatcher:
    """The key_watcher stand-in: a low-level keyboard hook in a peer process, and the pointer it sees."""

    def __init__(self, process, log):
        self.process = process
        self.log = log

    def mark(self):
        """A position in the log; queries with since=mark see only what came after it."""
        return len(self.log.lines())

    def events(self, since=0):
        found = []
        for line in self.log.lines()[since:]:
            parts = line.split()
            if len(parts) >= 5 and parts[0] == "KEY":
                found.append(KeyEvent(int(parts[1]), parts[2], int(parts[3]), int(parts[4])))
        return found

    def chord(self, since=0):
        """The (vk, action) pairs seen since `since`, for comparison with TASK_VIEW_CHORD."""
        return [(e.vk, e.action) for e in self.events(since)]

    def arrival_tick(self, x, y, since=0):
        """GetTickCount when the pointer was first seen at (x, y) after `since` (needs pointer=True)."""
        for line in self.log.lines()[since:]:
            parts = line.split()
            if len(parts) == 4 and parts[0] == "POS" and int(parts[1]) == x and int(parts[2]) == y:
                return int(parts[3])
        return None


class Companion:
    """The companion_standin: a top-level window of a chosen class logging the toggle messages it gets."""

    def __init__(self, process, log):
        self.process = process
        self.log = log

    def messages(self):
        """(name, wParam, lParam, tick) tuples in the order received."""
        found = []
        for line in self.log.lines():
            parts = line.split()
            if len(parts) == 5 and parts[0] == "MSG":
                found.append((parts[1], int(parts[2]), int(parts[3]), int(parts[4])))
        return found


def _resolve_like_wine(root, components):
    """The Linux path of root/components, each component matched without regard to case, as Wine's
    file system does; a component that does not exist is kept as written."""
    path = root
    for component in components:
        exact = os.path.join(path, component)
        if not os.path.exists(exact) and os.path.isdir(path):
            matches = [e for e in sorted(os.listdir(path)) if e.lower() == component.lower()]
            if matches:
                exact = os.path.join(path, matches[0])
        path = exact
    return path


def _startup_folder(prefix):
    """The Startup folder Wine reports for CSIDL_STARTUP (its "Shell Folders" entry in user.reg, e.g.
    ...\\Programs\\StartUp); the Linux file system tells "StartUp" and "Startup" apart."""
    with open(os.path.join(prefix, "user.reg"), "rb") as registry:
        text = registry.read().decode("utf-8", "replace")
    section = re.search(r"^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders\][^\n]*\n"
                        r"(.*?)(?:^\[|\Z)", text, re.M | re.S)
    value = section and re.search(r'^"startup"="([^"]*)"', section.group(1), re.M | re.I)
    if not value:
        raise CaseFailure("no Startup entry among the shell folders in the prefix's user.reg")
    windows_path = value.group(1).replace("\\\\", "\\")
    drive, _, rest = windows_path.partition(":\\")
    if drive.lower() != "c":
        raise CaseFailure("the Startup folder is not on drive C: %r" % windows_path)
    return _resolve_like_wine(os.path.join(prefix, "drive_c"), rest.split("\\"))


class Session:
    """One clean run: a fresh %APPDATA%, a private copy of Hoverlatch.exe, and the processes started."""

    def __init__(self, bin_dir, standins_dir):
        for name in ("WINEPREFIX", "DISPLAY"):
            if not os.environ.get(name):
                raise CaseFailure("%s is not set: run through scripts/test.sh, or source scripts/wine-env.sh" % name)
        self.bin_dir = os.path.abspath(bin_dir)
        self.standins_dir = os.path.abspath(standins_dir)
        self.prefix = os.environ["WINEPREFIX"]
        self.dir = tempfile.mkdtemp(prefix="hoverlatch-e2e-")
        self.processes = []
        self._helper_runs = 0
        user = pwd.getpwuid(os.getuid()).pw_name
        self.user_dir = os.path.join(self.prefix, "drive_c", "users", user)
        self.appdata = os.path.join(self.user_dir, "AppData", "Roaming")
        self.startup_dir = _startup_folder(self.prefix)
        # The program runs from its own folder, so a case can lay templates beside it.
        self.exe_dir = os.path.join(self.dir, "app")
        os.makedirs(self.exe_dir)
        self.exe = os.path.join(self.exe_dir, "Hoverlatch.exe")
        shutil.copy2(os.path.join(self.bin_dir, "Hoverlatch.exe"), self.exe)
        self.width, self.height = self._screen_size()

    # --- files ---------------------------------------------------------------------------------

    def clean_user_state(self):
        """Removes what earlier runs left: the maker's folder and the Startup shortcut."""
        shutil.rmtree(os.path.join(self.appdata, "quenby"), ignore_errors=True)
        try:
            os.remove(os.path.join(self.startup_dir, "Hoverlatch.lnk"))
        except FileNotFoundError:
            pass

    def appdata_path(self, relative):
        """Linux path of a file under %APPDATA%; `relative` uses / or \\ separators."""
        return os.path.join(self.appdata, *re.split(r"[\\/]", relative))

    @property
    def config_path(self):
        return self.appdata_path("quenby/Hoverlatch/config.ini")

    def write_file(self, path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    def write_appdata_file(self, relative, data):
        self.write_file(self.appdata_path(relative), data)

    def write_config(self, data):
        """Writes config.ini exactly as given (bytes, or text written as UTF-8 without a mark)."""
        self.write_file(self.config_path, data)

    def read_config(self):
        """The bytes of config.ini, or None when it does not exist."""
        try:
            with open(self.config_path, "rb") as config:
                return config.read()
        except FileNotFoundError:
            return None

    def put_beside_exe(self, name, data):
        """Lays a file (e.g. "config.default.ini") next to this session's Hoverlatch.exe."""
        self.write_file(os.path.join(self.exe_dir, name), data)

    @staticmethod
    def windows_path(linux_path):
        """The Wine path of a Linux path (through drive Z:)."""
        return "Z:" + os.path.abspath(linux_path).replace("/", "\\")

    # --- processes -----------------------------------------------------------------------------

    def start(self, name, exe, args=(), env=None):
        """Starts a Windows program; its output goes to a log file, never through a pipe."""
        log_path = os.path.join(self.dir, "%s-%d.out" % (name, len(self.processes)))
        environment = dict(os.environ)
        environment.update(env or {})
        with open(log_path, "wb") as log:
            popen = subprocess.Popen(["wine", exe] + [str(a) for a in args], stdin=subprocess.DEVNULL,
                                     stdout=log, stderr=subprocess.STDOUT, cwd=self.dir, env=environment)
        process = Process(name, popen, log_path)
        self.processes.append(process)
        return process

    def start_hoverlatch(self, env=None):
        return self.start("hoverlatch", self.exe, env=env)

    def standin(self, name):
        return os.path.join(self.standins_dir, name + ".exe")

    def start_key_watcher(self, pointer=True):
        """Starts the key watcher and waits until its hook is in place."""
        log = LogFile(os.path.join(self.dir, "keys-%d.log" % len(self.processes)))
        args = [self.windows_path(log.path)] + (["--pointer"] if pointer else [])
        process = self.start("key_watcher", self.standin("key_watcher"), args)
        wait_for(lambda: any(l.startswith("READY") for l in log.lines()) or not process.alive(), 20,
                 "the key watcher's hook")
        expect(process.alive(), "the key watcher ended with %s" % process.exit_code())
        return KeyWatcher(process, log)

    def start_companion(self, window_class):
        """Starts a companion stand-in whose window has `window_class`, once its window exists."""
        log = LogFile(os.path.join(self.dir, "companion-%d.log" % len(self.processes)))
        process = self.start("companion", self.standin("companion_standin"), [window_class, self.windows_path(log.path)])
        wait_for(lambda: any(l.startswith("READY") for l in log.lines()) or not process.alive(), 20,
                 "the companion window " + window_class)
        expect(process.alive(), "the companion stand-in ended with %s" % process.exit_code())
        return Companion(process, log)

    def close(self):
        for process in self.processes:
            process.kill()
        self.processes = []
        shutil.rmtree(self.dir, ignore_errors=True)

    def describe(self):
        """The tail of every process log, for a failure report."""
        text = []
        for process in self.processes:
            try:
                with open(process.log_path, "rb") as log:
                    tail = log.read()[-1500:].decode("utf-8", "replace").strip()
            except OSError:
                tail = ""
            text.append("  %s (pid %d, exit %s)%s" % (process.name, process.pid, process.exit_code(),
                                                       (": " + tail) if tail else ""))
        return "\n".join(text)

    # --- Windows-side probes -------------------------------------------------------------------

    def helper(self, *args):
        """Runs input_helper; returns (exit code, its one-line answer)."""
        self._helper_runs += 1
        result_path = os.path.join(self.dir, "helper-%d.txt" % self._helper_runs)
        log_path = result_path + ".out"
        with open(log_path, "wb") as log:
            code = subprocess.call(["wine", self.standin("input_helper"), self.windows_path(result_path)] +
                                   [str(a) for a in args], stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=subprocess.STDOUT, cwd=self.dir, timeout=HELPER_TIMEOUT_S)
        try:
            with open(result_path, "rb") as result:
                answer = result.read().decode("utf-8", "replace").strip()
        except FileNotFoundError:
            answer = ""
        return code, answer

    def tray_icons(self):
        """Window handles of the tray icons shown now (a re-added icon gets a new handle)."""
        _, answer = self.helper("trayicons")
        parts = answer.split()
        return [int(h) for h in parts[1:]] if parts else []

    def tray_icon_count(self):
        return len(self.tray_icons())

    def wait_for_tray_icons(self, count, timeout=20):
        return wait_for(lambda: self.tray_icon_count() == count, timeout, "%d tray icon(s)" % count)

    def find_window(self, window_class, title=None):
        """(hwnd, visible, pid) of FindWindowW, or None; window_class "-" means any class."""
        code, answer = self.helper("find", window_class, *([title] if title is not None else []))
        if code != 0:
            return None
        hwnd, visible, pid = (int(p) for p in answer.split())
        return hwnd, bool(visible), pid

    def main_window(self):
        return self.find_window("Hoverlatch.MainWindow", "Hoverlatch")

    def post(self, window_class, message, wparam=0, lparam=0, title=None):
        """PostMessageW to the window of that class; `message` is a number or a name to register."""
        code, answer = self.helper("post", window_class, message, wparam, lparam,
                                   *([title] if title is not None else []))
        expect(code == 0, "posting %s to %s failed: %s" % (message, window_class, answer))

    def press(self, button="left", action="click"):
        """Injects a mouse button at the pointer; returns GetTickCount just before the last input."""
        code, answer = self.helper("button", button, action)
        expect(code == 0, "injecting %s %s failed: %s" % (button, action, answer))
        return int(answer.split()[2])

    def tick(self):
        return int(self.helper("tick")[1])

    def menu_window(self):
        """The visible popup menu ("#32768"), or None."""
        found = self.find_window("#32768")
        return found if found and found[1] else None

    # --- pointer ---------------------------------------------------------------------------------

    def _screen_size(self):
        out = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True, timeout=10).stdout
        width, height = out.split()
        return int(width), int(height)

    def pointer(self):
        out = subprocess.run(["xdotool", "getmouselocation"], capture_output=True, text=True, timeout=10).stdout
        fields = dict(part.split(":") for part in out.split() if ":" in part)
        return int(fields["x"]), int(fields["y"])

    def jump_pointer(self, x, y):
        """Moves the pointer in one step: the program sees it arrive within one poll."""
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True, timeout=10)

    def move_pointer(self, x, y, step_px=20, pause_s=0.01):
        """Moves the pointer in small steps, as a hand would: far below the 240 px jump threshold per poll."""
        start_x, start_y = self.pointer()
        steps = max(1, -(-max(abs(x - start_x), abs(y - start_y)) // step_px))
        command = ["xdotool"]
        for i in range(1, steps + 1):
            command += ["mousemove", str(start_x + (x - start_x) * i // steps), str(start_y + (y - start_y) * i // steps)]
            if i < steps:
                command += ["sleep", str(pause_s)]
        subprocess.run(command, check=True, timeout=60)

    def corner_point(self, corner):
        """The outermost pixel of a corner: "TopLeft", "TopRight", "BottomLeft" or "BottomRight"."""
        x = self.width - 1 if "Right" in corner else 0
        y = self.height - 1 if corner.startswith("Bottom") else 0
        return x, y

    def near_corner(self, corner, distance=40):
        """A point in the interior, `distance` px from the corner along both axes."""
        x, y = self.corner_point(corner)
        return (x - distance if "Right" in corner else x + distance,
                y - distance if corner.startswith("Bottom") else y + distance)


def run_case(*cases):
    """Runs each case function with a fresh Session; prints a line per case and the totals."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder of Hoverlatch.exe")
    parser.add_argument("--standins", required=True, help="folder of the stand-in executables")
    args = parser.parse_args()
    passed = failed = 0
    for case in cases:
        session = None
        began = time.monotonic()
        try:
            session = Session(args.bin, args.standins)
            session.clean_user_state()
            expect(session.main_window() is None, "a Hoverlatch from an earlier run still runs in this Wine prefix")
            session.jump_pointer(session.width // 2, session.height // 2)
            case(session)
            passed += 1
            print("PASS %s (%.1f s)" % (case.__name__, time.monotonic() - began), flush=True)
        except Exception as error:  # a case ends on its first failure; the others still run
            failed += 1
            reason = str(error) if isinstance(error, CaseFailure) else traceback.format_exc()
            print("FAIL %s: %s" % (case.__name__, reason), flush=True)
            if session:
                print(session.describe(), flush=True)
        finally:
            if session:
                session.close()
    print("%d passed, %d failed" % (passed, failed), flush=True)
    sys.exit(1 if failed else 0)
