"""The tray menu driven like a user with the keyboard: it opens on a second start's hand-off, its choices
land in config.ini in the program's rendered form, hand edits of the file show at the next opening, and
Exit ends the program."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import expect, wait_for  # noqa: E402

WM_KEYDOWN = 0x0100
VK_RETURN, VK_ESCAPE, VK_UP, VK_RIGHT, VK_DOWN = 0x0D, 0x1B, 0x26, 0x27, 0x28
WM_APP_SHOWMENU = 0x8014
MENU_TIMEOUT_S = 15
FILE_TIMEOUT_S = 10

# Top-level items counted from "nothing selected": the first Down selects the header (disabled items
# take the selection, separators do not), so the n-th entry below the header needs n + 1 presses.
DOWNS_TO_TOP_RIGHT = 3
DOWNS_TO_ZONE = 6
DOWNS_TO_DWELL = 7

DEFAULT_LINES = [
    "[Trigger]", "TopLeft=Disabled", "TopRight=TaskView", "BottomLeft=Disabled", "BottomRight=Disabled",
    "EdgeZonePx=12", "CornerDwellMs=350", "[UI]", "Language=", "[General]", "RunAtStartup=0",
]


def rendered(lines):
    """config.ini as the program writes it: UTF-8 mark, CR LF between lines, no final line break."""
    return b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8")


def with_values(lines, **values):
    out = []
    for line in lines:
        key = line.split("=", 1)[0]
        out.append("%s=%s" % (key, values[key]) if "=" in line and key in values else line)
    return out


def key(s, vk):
    """A key press posted to the open popup menu; its modal loop reads the thread's whole queue and acts
    on the key-down alone (after Enter or Esc there is no menu left to take a key-up)."""
    s.post("#32768", WM_KEYDOWN, vk, 0)


def keys(s, *strokes):
    for vk in strokes:
        key(s, vk)


def open_menu_by_second_start(s):
    second = s.start_hoverlatch()
    code = second.wait(30)
    expect(code == 0, "the second start ended with %s" % code)
    return wait_for(s.menu_window, MENU_TIMEOUT_S, "a visible popup menu")


def open_menu(s):
    s.post("Hoverlatch.MainWindow", WM_APP_SHOWMENU, 0, 0, title="Hoverlatch")
    return wait_for(s.menu_window, MENU_TIMEOUT_S, "a visible popup menu")


def wait_menu_closed(s):
    wait_for(lambda: s.menu_window() is None, MENU_TIMEOUT_S, "the menu to close")


def wait_config(s, predicate, what):
    return wait_for(lambda: predicate(s.read_config() or b""), FILE_TIMEOUT_S, what)


def install_capture_standin(s):
    """The capture tool's location file: UTF-16 with its mark, naming the capture stand-in."""
    path = s.windows_path(s.standin("capture_standin"))
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + (path + "\r\n").encode("utf-16-le"))


def start(s):
    program = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    return program


def screenshot(s):
    """The whole screen's pixels once two captures in a row agree (the menu has finished drawing)."""
    def stable():
        first = subprocess.run(["import", "-window", "root", "rgb:-"], capture_output=True, timeout=30).stdout
        second = subprocess.run(["import", "-window", "root", "rgb:-"], capture_output=True, timeout=30).stdout
        return first if first and first == second else None
    return wait_for(stable, MENU_TIMEOUT_S, "a stable screen")


def hand_off_opens_the_menu(s):
    program = start(s)
    s.jump_pointer(600, 500)
    hwnd, visible, _ = open_menu_by_second_start(s)
    expect(visible, "the popup menu is not visible")
    before = s.read_config()
    key(s, VK_ESCAPE)
    wait_menu_closed(s)
    expect(program.alive(), "the program ended")
    expect(s.read_config() == before, "a dismissed menu changed config.ini")
    expect(s.tray_icon_count() == 1, "expected one tray icon")


def keys_change_dwell_zone_and_corner(s):
    install_capture_standin(s)
    start(s)
    s.jump_pointer(600, 500)

    open_menu_by_second_start(s)
    keys(s, *([VK_DOWN] * DOWNS_TO_DWELL), VK_RIGHT, *([VK_DOWN] * 9), VK_RETURN)  # 300 ms ... 1000 ms
    wait_menu_closed(s)
    wait_config(s, lambda b: b"CornerDwellMs=1000" in b, "CornerDwellMs=1000 in config.ini")

    open_menu(s)
    keys(s, *([VK_DOWN] * DOWNS_TO_ZONE), VK_RIGHT, *([VK_DOWN] * 9), VK_RETURN)  # 4 px ... 24 px
    wait_menu_closed(s)
    wait_config(s, lambda b: b"EdgeZonePx=24" in b, "EdgeZonePx=24 in config.ini")

    # Top right: Task View, FramwickCapture > (Capture..., Rectangle, ...), Disabled.
    open_menu(s)
    keys(s, *([VK_DOWN] * DOWNS_TO_TOP_RIGHT), VK_RIGHT, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN)
    wait_menu_closed(s)
    wait_config(s, lambda b: b"TopRight=FramwickRegion" in b, "TopRight=FramwickRegion in config.ini")

    expected = rendered(with_values(DEFAULT_LINES, CornerDwellMs="1000", EdgeZonePx="24", TopRight="FramwickRegion"))
    actual = s.read_config()
    expect(actual == expected, "config.ini is %r, expected %r" % (actual, expected))


def hand_edit_shows_at_the_next_opening(s):
    start(s)
    s.jump_pointer(600, 500)
    original = s.read_config()

    open_menu(s)
    as_provisioned = screenshot(s)
    key(s, VK_ESCAPE)
    wait_menu_closed(s)

    s.write_config("[Trigger]\r\nEdgeZonePx=16\r\nTopRight=Disabled\r\n[UI]\r\nLanguage=de\r\n")
    open_menu(s)
    edited = screenshot(s)
    key(s, VK_ESCAPE)
    wait_menu_closed(s)

    s.write_config(original)
    open_menu(s)
    restored = screenshot(s)
    key(s, VK_ESCAPE)
    wait_menu_closed(s)

    expect(edited != as_provisioned, "the menu looks the same after the file was edited by hand")
    expect(restored == as_provisioned, "the menu does not look as before once the file is restored")
    # The German file is the one the next command writes into.
    s.write_config("[Trigger]\r\nEdgeZonePx=16\r\n[UI]\r\nLanguage=de\r\n")
    open_menu(s)
    keys(s, *([VK_DOWN] * DOWNS_TO_DWELL), VK_RIGHT, VK_RETURN)  # 300 ms
    wait_menu_closed(s)
    expected = rendered(["[Trigger]", "EdgeZonePx=16", "CornerDwellMs=300", "[UI]", "Language=de"])
    wait_config(s, lambda b: b == expected, "the hand-edited file with CornerDwellMs=300")


def exit_removes_the_icon_and_ends_with_0(s):
    program = start(s)
    s.jump_pointer(600, 500)
    open_menu(s)
    keys(s, VK_UP, VK_RETURN)  # from nothing selected, Up selects the last item: Exit
    code = program.wait(20)
    expect(code == 0, "the program's exit code is %s" % code)
    s.wait_for_tray_icons(0)
    expect(s.main_window() is None, "the main window still exists")


harness.run_case(hand_off_opens_the_menu, keys_change_dwell_zone_and_corner, hand_edit_shows_at_the_next_opening,
                 exit_removes_the_icon_and_ends_with_0)
