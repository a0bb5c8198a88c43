"""Corner actions read from config.ini: an old-format file converted on start, companion toggles and a
capture tool start, observed by the stand-in peers."""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import TASK_VIEW_CHORD, expect, holds, wait_for  # noqa: E402

BOM = b"\xef\xbb\xbf"
FIRE_TIMEOUT_S = 5   # a 350-500 ms dwell plus Wine's scheduling on a loaded machine
QUIET_S = 1.0        # how long "nothing more happens" is watched


def config(**corners):
    lines = ["[Trigger]"] + ["%s=%s" % item for item in corners.items()]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def start(s, env=None):
    s.start_hoverlatch(env=env)
    s.wait_for_tray_icons(1)


def rest_in(s, corner):
    """Moves into the corner in small steps (no jump) and returns the point it rests on."""
    s.move_pointer(*s.near_corner(corner))
    point = s.corner_point(corner)
    s.move_pointer(*point)
    return point


def legacy_corners_are_converted_on_start(s):
    s.write_config(b"[Trigger]\r\nCorners=TL, BR\r\nEdgeZonePx=12\r\n")
    keys = s.start_key_watcher(pointer=False)
    start(s)
    # The conversion writes the four corner keys (Corners stays), then start-up adds the language key.
    expected = BOM + (b"[Trigger]\r\nCorners=TL, BR\r\nEdgeZonePx=12\r\nTopLeft=TaskView\r\nTopRight=Disabled\r\n"
                      b"BottomLeft=Disabled\r\nBottomRight=TaskView\r\n[UI]\r\nLanguage=")
    wait_for(lambda: s.read_config() == expected, 10, "the converted config.ini")

    mark = keys.mark()
    rest_in(s, "TopRight")  # converted to Disabled
    holds(lambda: not keys.events(mark), QUIET_S, "no key event in the top-right corner, now disabled")
    rest_in(s, "BottomRight")
    wait_for(lambda: keys.chord(mark) == TASK_VIEW_CHORD, FIRE_TIMEOUT_S, "Task View from the bottom-right corner")


def loftmoor_corner_toggles_its_window(s):
    s.write_config(config(TopRight="Loftmoor"))
    loftmoor = s.start_companion("Loftmoor.Main")
    tessawell = s.start_companion("Tessawell.Main")
    start(s)
    rest_in(s, "TopRight")
    wait_for(lambda: loftmoor.messages(), FIRE_TIMEOUT_S, "a toggle message at the Loftmoor window")
    holds(lambda: len(loftmoor.messages()) == 1, QUIET_S, "one toggle while the pointer rests")
    name, wparam, lparam, _ = loftmoor.messages()[0]
    expect((name, wparam, lparam) == ("WM_LOFTMOOR_TOGGLE", 0, 0),
           "Loftmoor.Main got %s" % (loftmoor.messages(),))
    expect(not tessawell.messages(), "the former window class got %s as well" % (tessawell.messages(),))


def tessawell_window_alone_gets_its_own_message(s):
    s.write_config(config(TopRight="Tessawell"))  # the former name is read as Loftmoor
    tessawell = s.start_companion("Tessawell.Main")
    start(s)
    rest_in(s, "TopRight")
    wait_for(lambda: tessawell.messages(), FIRE_TIMEOUT_S, "a toggle message at the Tessawell window")
    name, wparam, lparam, _ = tessawell.messages()[0]
    expect((name, wparam, lparam) == ("WM_TESSAWELL_TOGGLE", 0, 0),
           "Tessawell.Main got %s" % (tessawell.messages(),))


def notchling_gets_the_packed_pointer_position(s):
    s.write_config(config(BottomRight="Notchling", TopRight="Disabled"))
    notchling = s.start_companion("Notchling.Main")
    start(s)
    x, y = rest_in(s, "BottomRight")
    wait_for(lambda: notchling.messages(), FIRE_TIMEOUT_S, "a toggle message at the Notchling window")
    name, wparam, lparam, _ = notchling.messages()[0]
    packed = ((y & 0xFFFF) << 16) | (x & 0xFFFF)
    expect((name, wparam, lparam) == ("WM_NOTCHLING_TOGGLE", 1, packed),
           "Notchling.Main got %s, expected wParam 1 and lParam 0x%X for (%d, %d)"
           % (notchling.messages(), packed, x, y))


def capture_corner_starts_the_tool_in_its_folder(s):
    tool_dir = os.path.join(s.dir, "Framwick Tool")
    os.makedirs(tool_dir)
    tool = os.path.join(tool_dir, "capture standin.exe")
    shutil.copy2(s.standin("capture_standin"), tool)
    location = '"%s"\r\n' % s.windows_path(tool)
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + location.encode("utf-16-le"))
    log = os.path.join(s.dir, "capture.log")
    s.write_config(config(BottomLeft="FramwickOcr", TopRight="Disabled"))
    start(s, env={"HOVERLATCH_CAPTURE_LOG": s.windows_path(log)})
    rest_in(s, "BottomLeft")
    wait_for(lambda: os.path.exists(log) and open(log, "rb").read().endswith(b"\n"), FIRE_TIMEOUT_S + 10,
             "the capture tool's start")
    holds(lambda: open(log, "rb").read().count(b"\n") == 1, QUIET_S, "one start while the pointer rests")
    fields = dict(f.split("=", 1) for f in open(log, encoding="utf-8").read().strip().split("\t"))
    print("  capture tool: %s" % fields)
    expect(fields.get("argc") == "2" and fields.get("arg1") == "--ocr", "arguments: %s" % fields)
    expect(fields.get("cwd", "").rstrip("\\").lower() == s.windows_path(tool_dir).lower(),
           "working directory %r, expected %r" % (fields.get("cwd"), s.windows_path(tool_dir)))


harness.run_case(legacy_corners_are_converted_on_start, loftmoor_corner_toggles_its_window,
                 tessawell_window_alone_gets_its_own_message, notchling_gets_the_packed_pointer_position,
                 capture_corner_starts_the_tool_in_its_folder)
