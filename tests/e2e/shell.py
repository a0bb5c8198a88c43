"""The program as a user meets it: a second start hands over to the running instance (its tray menu opens) and
exits with 0, promptly even when that instance is hung; the tray menu driven with the keyboard writes its
choices into config.ini in the program's rendered form, reads a hand edit at its next opening, and Exit ends
the program; RunAtStartup=1 (re)writes "Hoverlatch.lnk" in the Startup folder for the running executable (read
back with Debian's lnkinfo, which shares nothing with Windows or Wine), RunAtStartup=0 removes it and no other;
look-alikes of system DLLs beside the program, as a Downloads folder may hold them, never load."""
import glob
import os
import shutil
import signal
import subprocess
import time

import harness
from harness import expect, wait_for

HAND_OFF_TIMEOUT_S = 3.0  # the longest a second start waits for the running instance
VK_RETURN, VK_UP, VK_RIGHT, VK_DOWN, WM_CLOSE = 0x0D, 0x26, 0x27, 0x28, 0x0010
PLANTED = ("version", "wtsapi32", "dwmapi", "uxtheme")  # the system DLLs it uses that are not KnownDLLs
# Top-level items counted from "nothing selected": the first Down selects the header (a disabled item
# takes the selection, a separator does not), so the n-th entry below it needs n + 1 presses.
DOWNS_TO_TOP_RIGHT, DOWNS_TO_ZONE, DOWNS_TO_DWELL = 3, 6, 7


def second_start(s, deadline_s):
    began = time.monotonic()
    code = s.start_hoverlatch().wait(deadline_s)
    print("  second start exited with %s after %.2f s" % (code, time.monotonic() - began))
    expect(code == 0, "the second start did not exit with 0 within %.1f s: %s" % (deadline_s, code))


def second_start_opens_the_menu_of_the_first(s):
    first = s.start_hoverlatch(shown=True)
    second_start(s, 10)
    wait_for(s.menu_window, 10, "the running instance's tray menu")
    expect(first.alive() and len(s.tray_icons()) == 1, "expected the first instance and its one icon")


def second_start_with_the_first_stopped(s):
    first = s.start_hoverlatch(shown=True)
    began = time.monotonic()
    s.probe("tick")  # what starting any small program under Wine costs right now
    first.send_signal(signal.SIGSTOP)  # hung: it no longer answers messages
    second_start(s, HAND_OFF_TIMEOUT_S + (time.monotonic() - began) + 1.0)
    first.send_signal(signal.SIGCONT)
    expect(first.alive() and len(s.tray_icons()) == 1, "expected the first instance and its one icon")


def expect_config(s, *lines):
    """config.ini as the program writes it: UTF-8 mark, CR LF between lines, no final line break."""
    expected = b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8")
    wait_for(lambda: s.read_config() == expected, 15, "config.ini to be %r" % expected)


def menu_keys_change_dwell_zone_and_corner(s):
    # The capture tool's location file (UTF-16 with its mark) makes the capture submenu appear.
    tool = s.windows_path(s.standin("peer"))
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + (tool + "\r\n").encode("utf-16-le"))
    s.start_hoverlatch(shown=True)
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_DWELL, VK_RIGHT, *[VK_DOWN] * 9, VK_RETURN)  # 300 ms ... 1000 ms
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_ZONE, VK_RIGHT, *[VK_DOWN] * 9, VK_RETURN)   # 4 px ... 24 px
    # Top right: Task View, Framwick > (Capture..., Rectangle, ...), Disabled.
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_TOP_RIGHT, VK_RIGHT, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN)
    expect_config(s, "[Trigger]", "TopLeft=Disabled", "TopRight=FramwickRegion", "BottomLeft=Disabled",
                  "BottomRight=Disabled", "EdgeZonePx=24", "CornerDwellMs=1000", "[UI]", "Language=", "[General]",
                  "RunAtStartup=0")


def menu_reads_a_hand_edit_at_its_next_opening_and_exit_ends_with_0(s):
    program = s.start_hoverlatch(shown=True)
    s.write_config("[Trigger]\r\nEdgeZonePx=16\r\n[UI]\r\nLanguage=de\r\n")
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_DWELL, VK_RIGHT, VK_RETURN)  # 300 ms
    expect_config(s, "[Trigger]", "EdgeZonePx=16", "CornerDwellMs=300", "[UI]", "Language=de")
    s.choose_in_menu(VK_UP, VK_RETURN)  # from nothing selected, Up selects the last item: Exit
    expect(program.wait(20) == 0, "the program's exit code is %s" % program.poll())
    s.wait_for_tray_icons(0)


def lnkinfo(path):
    """The fields lnkinfo prints, first occurrence each; None while it cannot parse the file."""
    result = subprocess.run(["lnkinfo", path], capture_output=True, timeout=30, env=dict(os.environ, LC_ALL="C.UTF-8"))
    fields = {}
    for key, colon, value in (line.partition(":") for line in result.stdout.decode("utf-8", "replace").splitlines()):
        if colon and key.strip():
            fields.setdefault(key.strip(), value.strip())
    return fields if result.returncode == 0 else None


def run_at_startup_rewrites_a_stale_shortcut_then_off_removes_only_it(s):
    shortcut, other = (os.path.join(s.startup_dir, name) for name in ("Hoverlatch.lnk", "Hoverlatch-e2e-other.lnk"))
    s.write_file(shortcut, b"what a damaged file or an earlier location of the program leaves")
    s.write_file(other, b"another program's shortcut")
    try:
        s.write_config("[General]\r\nRunAtStartup=1\r\n")
        first = s.start_hoverlatch(shown=True)  # the choice is applied before the icon shows
        fields = wait_for(lambda: lnkinfo(shortcut), 10, "a shortcut lnkinfo can read")
        print("  shortcut: %r, %r" % (fields.get("Local path"), fields.get("Description")))
        expect(fields.get("Local path") == s.windows_path(s.exe), "the target is %r" % fields.get("Local path"))
        expect(fields.get("Description") == "Hoverlatch", "the description is %r" % fields.get("Description"))
        expect("Command line arguments" not in fields, "the shortcut has arguments")
        s.post("Hoverlatch.MainWindow", 0x0010, title="Hoverlatch")  # WM_CLOSE
        expect(first.wait(20) == 0, "the first run did not end")
        s.write_config("[General]\r\nRunAtStartup=0\r\n")
        s.start_hoverlatch(shown=True)
        expect(sorted(os.listdir(s.startup_dir)) == [os.path.basename(other)], os.listdir(s.startup_dir))
    finally:
        os.remove(other)


def planted(s, folder):
    """Lays the look-alikes into `folder`; returns a function naming those that have left their mark since."""
    for name in PLANTED:
        shutil.copy2(os.path.join(s.standins_dir, "planted.dll"), os.path.join(folder, name + ".dll"))
    return lambda: sorted(os.path.basename(m)[:-9].lower() for m in glob.glob(os.path.join(folder, "*.dll.mark")))


def planted_dlls_never_load_for_start_up_menu_or_about_card(s):
    # Native first, as Windows treats a DLL that is not a KnownDLL: the executable's folder is searched first.
    env = {"WINEDLLOVERRIDES": "%s;%s=n,b" % (os.environ.get("WINEDLLOVERRIDES", ""), ",".join(PLANTED))}
    # Wine 8's own user32 imports version.dll and Wine has no KnownDLLs, so there any windowed program loads a
    # planted version.dll before its first line runs (Windows' user32 is a KnownDLL and imports none). A bare
    # program beside the same look-alikes shows which marks Wine itself causes.
    control = os.path.join(s.dir, "control", "peer.exe")
    os.makedirs(os.path.dirname(control))
    control_marks = planted(s, os.path.dirname(control))
    shutil.copy2(s.standin("peer"), control)
    s.start("control", control, [s.windows_path(control + ".txt"), "tick"], env=env).wait(30)
    marks = planted(s, s.exe_dir)
    app = s.start_hoverlatch(env=env, shown=True)
    s.choose_in_menu(VK_UP, VK_UP, VK_RETURN)  # from nothing selected: Exit, then About
    wait_for(lambda: s.visible_window("Hoverlatch.AboutWindow"), 15, "the About card")
    s.post("Hoverlatch.AboutWindow", WM_CLOSE)
    wait_for(lambda: s.find_window("Hoverlatch.AboutWindow") is None, 15, "the About card closed")
    print("  loaded by Wine itself in any program: %s" % (control_marks() or "none"))
    loaded = [name for name in marks() if name not in control_marks()]
    expect(not loaded and app.alive(), "planted DLLs ran inside the program: %s" % loaded)


harness.run_case(second_start_opens_the_menu_of_the_first, second_start_with_the_first_stopped,
                 menu_keys_change_dwell_zone_and_corner,
                 menu_reads_a_hand_edit_at_its_next_opening_and_exit_ends_with_0,
                 run_at_startup_rewrites_a_stale_shortcut_then_off_removes_only_it,
                 planted_dlls_never_load_for_start_up_menu_or_about_card)
