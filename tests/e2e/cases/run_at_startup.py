"""Run at startup: the configured choice is put into effect as the program starts.

RunAtStartup=1 makes start-up (re)write "Hoverlatch.lnk" in the user's Startup folder, pointing at the
running executable; RunAtStartup=0 removes a shortcut of that name, whoever made it. The shortcut is
read back with Debian's lnkinfo, a parser that shares nothing with Windows or Wine.
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import expect, wait_for  # noqa: E402

SHORTCUT = "Hoverlatch.lnk"
OTHER = "Hoverlatch-e2e-other.lnk"  # stands for another program's shortcut
START_TIMEOUT_S = 20  # start-up applies the choice before it shows the tray icon
LNKINFO_TIMEOUT_S = 30


def config(run_at_startup):
    return "[Trigger]\r\nTopRight=TaskView\r\n\r\n[General]\r\nRunAtStartup=%d\r\n" % run_at_startup


def lnkinfo(path):
    """The fields lnkinfo prints ("Local path", "Description", ...), first occurrence each; None when it
    cannot parse the file (e.g. while it is still being written)."""
    result = subprocess.run(["lnkinfo", path], capture_output=True, timeout=LNKINFO_TIMEOUT_S,
                            env=dict(os.environ, LC_ALL="C.UTF-8"))
    if result.returncode != 0:
        return None
    fields = {}
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        key, colon, value = line.partition(":")
        if colon and key.strip():
            fields.setdefault(key.strip(), value.strip())
    return fields


def shortcut_path(s):
    return os.path.join(s.startup_dir, SHORTCUT)


def expect_shortcut_to_running_exe(s, fields):
    target = s.windows_path(s.exe)
    print("  shortcut: target %r, description %r" % (fields.get("Local path"), fields.get("Description")))
    expect(fields.get("Local path") == target,
           "the shortcut points at %r, not at the running %r" % (fields.get("Local path"), target))
    expect(fields.get("Description") == "Hoverlatch",
           "the shortcut's description is %r" % fields.get("Description"))
    expect("Command line arguments" not in fields,
           "the shortcut has arguments: %r" % fields.get("Command line arguments"))


def on_creates_the_shortcut(s):
    s.write_config(config(1))
    expect(not os.path.exists(shortcut_path(s)), "a shortcut is there before the start")
    folder = s.startup_dir
    before = set(os.listdir(folder))
    app = s.start_hoverlatch()
    s.wait_for_tray_icons(1, timeout=START_TIMEOUT_S)
    # Start-up applies the choice before it adds the tray icon.
    expect(os.path.exists(shortcut_path(s)), "no %s in the Startup folder once the program runs" % SHORTCUT)
    fields = wait_for(lambda: lnkinfo(shortcut_path(s)), 10, "a shortcut lnkinfo can read")
    expect_shortcut_to_running_exe(s, fields)
    expect(app.alive(), "the program ended with %s" % app.exit_code())
    added = set(os.listdir(folder)) - before
    expect(added == {SHORTCUT}, "the start added %r to the Startup folder" % sorted(added))


def on_rewrites_a_stale_shortcut(s):
    # What a damaged file or a shortcut to an earlier location of the program would leave.
    s.write_file(shortcut_path(s), b"not a shortcut")
    s.write_config(config(1))
    s.start_hoverlatch()
    s.wait_for_tray_icons(1, timeout=START_TIMEOUT_S)
    fields = wait_for(lambda: lnkinfo(shortcut_path(s)), 10, "the shortcut rewritten")
    expect_shortcut_to_running_exe(s, fields)


def off_deletes_the_shortcut(s):
    s.write_file(shortcut_path(s), b"made by hand")
    other = os.path.join(s.startup_dir, OTHER)
    s.write_file(other, b"someone else's")
    s.write_config(config(0))
    app = s.start_hoverlatch()
    s.wait_for_tray_icons(1, timeout=START_TIMEOUT_S)
    expect(not os.path.exists(shortcut_path(s)), "%s is still in the Startup folder" % SHORTCUT)
    expect(os.path.exists(other), "another program's shortcut was removed")
    expect(app.alive(), "the program ended with %s" % app.exit_code())


def cleaned_up(case):
    """Leaves no shortcut behind in the prefix's Startup folder for later cases."""
    def run(s):
        try:
            case(s)
        finally:
            for process in s.processes:
                process.kill()
            for name in (SHORTCUT, OTHER):
                try:
                    os.remove(os.path.join(s.startup_dir, name))
                except FileNotFoundError:
                    pass
    run.__name__ = case.__name__
    return run


harness.run_case(cleaned_up(on_creates_the_shortcut), cleaned_up(on_rewrites_a_stale_shortcut),
                 cleaned_up(off_deletes_the_shortcut))
