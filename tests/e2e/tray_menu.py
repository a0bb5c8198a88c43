"""The tray menu driven with the keyboard like a user: its choices land in config.ini in the program's
rendered form, a hand edit of the file is what the next choice writes into, and Exit ends the program."""

import harness
from harness import expect, wait_for

VK_RETURN, VK_UP, VK_RIGHT, VK_DOWN = 0x0D, 0x26, 0x27, 0x28
TIMEOUT_S = 15
# Top-level items counted from "nothing selected": the first Down selects the header (a disabled item
# takes the selection, a separator does not), so the n-th entry below it needs n + 1 presses.
DOWNS_TO_TOP_RIGHT, DOWNS_TO_ZONE, DOWNS_TO_DWELL = 3, 6, 7


def rendered(*lines):
    """config.ini as the program writes it: UTF-8 mark, CR LF between lines, no final line break."""
    return b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8")


def wait_config(s, expected):
    wait_for(lambda: s.read_config() == expected, TIMEOUT_S, "config.ini to be %r" % expected)


def start(s):
    program = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    s.jump_pointer(600, 500)
    return program


def keys_change_dwell_zone_and_corner(s):
    # The capture tool's location file (UTF-16 with its mark) makes the capture submenu appear.
    tool = s.windows_path(s.standin("peer"))
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + (tool + "\r\n").encode("utf-16-le"))
    start(s)
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_DWELL, VK_RIGHT, *[VK_DOWN] * 9, VK_RETURN)  # 300 ms ... 1000 ms
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_ZONE, VK_RIGHT, *[VK_DOWN] * 9, VK_RETURN)   # 4 px ... 24 px
    # Top right: Task View, Framwick > (Capture..., Rectangle, ...), Disabled.
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_TOP_RIGHT, VK_RIGHT, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN)
    wait_config(s, rendered("[Trigger]", "TopLeft=Disabled", "TopRight=FramwickRegion", "BottomLeft=Disabled",
                            "BottomRight=Disabled", "EdgeZonePx=24", "CornerDwellMs=1000", "[UI]", "Language=",
                            "[General]", "RunAtStartup=0"))


def hand_edit_is_read_at_the_next_opening(s):
    start(s)
    s.write_config("[Trigger]\r\nEdgeZonePx=16\r\n[UI]\r\nLanguage=de\r\n")
    s.choose_in_menu(*[VK_DOWN] * DOWNS_TO_DWELL, VK_RIGHT, VK_RETURN)  # 300 ms
    wait_config(s, rendered("[Trigger]", "EdgeZonePx=16", "CornerDwellMs=300", "[UI]", "Language=de"))


def exit_removes_the_icon_and_ends_with_0(s):
    program = start(s)
    s.choose_in_menu(VK_UP, VK_RETURN)  # from nothing selected, Up selects the last item: Exit
    expect(program.wait(20) == 0, "the program's exit code is %s" % program.poll())
    s.wait_for_tray_icons(0)


harness.run_case(keys_change_dwell_zone_and_corner, hand_edit_is_read_at_the_next_opening,
                 exit_removes_the_icon_and_ends_with_0)
