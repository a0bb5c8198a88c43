"""Run at startup as the program starts: RunAtStartup=1 (re)writes "Hoverlatch.lnk" in the Startup folder,
pointing at the running executable, read back with Debian's lnkinfo (which shares nothing with Windows or
Wine); RunAtStartup=0 removes that shortcut and no other."""
import os
import subprocess

import harness
from harness import expect, wait_for


def config(run_at_startup):
    return "[Trigger]\r\nTopRight=TaskView\r\n\r\n[General]\r\nRunAtStartup=%d\r\n" % run_at_startup


def lnkinfo(path):
    """The fields lnkinfo prints, first occurrence each; None while it cannot parse the file."""
    result = subprocess.run(["lnkinfo", path], capture_output=True, timeout=30, env=dict(os.environ, LC_ALL="C.UTF-8"))
    fields = {}
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        key, colon, value = line.partition(":")
        if colon and key.strip():
            fields.setdefault(key.strip(), value.strip())
    return fields if result.returncode == 0 else None


def on_rewrites_a_stale_shortcut(s):
    shortcut = os.path.join(s.startup_dir, "Hoverlatch.lnk")
    s.write_file(shortcut, b"what a damaged file or an earlier location of the program leaves")
    before = set(os.listdir(s.startup_dir))
    s.write_config(config(1))
    s.start_hoverlatch()
    s.wait_for_tray_icons(1)  # the choice is applied before the icon shows
    fields = wait_for(lambda: lnkinfo(shortcut), 10, "a shortcut lnkinfo can read")
    print("  shortcut: %r, %r" % (fields.get("Local path"), fields.get("Description")))
    expect(fields.get("Local path") == s.windows_path(s.exe), "the shortcut points at %r" % fields.get("Local path"))
    expect(fields.get("Description") == "Hoverlatch", "the description is %r" % fields.get("Description"))
    expect("Command line arguments" not in fields, "the shortcut has arguments")
    expect(set(os.listdir(s.startup_dir)) == before, "the start changed other files in the Startup folder")


def off_deletes_the_shortcut_only(s):
    other = os.path.join(s.startup_dir, "Hoverlatch-e2e-other.lnk")  # another program's shortcut
    s.write_file(os.path.join(s.startup_dir, "Hoverlatch.lnk"), b"made by hand")
    s.write_file(other, b"someone else's")
    s.write_config(config(0))
    s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    left = os.listdir(s.startup_dir)
    os.remove(other)
    expect("Hoverlatch.lnk" not in left and os.path.basename(other) in left, "left in the Startup folder: %s" % left)


harness.run_case(on_rewrites_a_stale_shortcut, off_deletes_the_shortcut_only)
