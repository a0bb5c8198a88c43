"""Corner actions read from config.ini, observed by stand-in peers: companion toggles, and a capture tool
start with its mode argument in its own folder."""
import os
import shutil

import harness
from harness import expect, holds, wait_for

FIRE_TIMEOUT_S = 10  # a dwell of at most 500 ms plus Wine's scheduling on a loaded machine
QUIET_S = 1.0        # how long "nothing more happens" is watched


def start(s, env=None, **corners):
    if corners:
        s.write_config("[Trigger]\r\n" + "".join("%s=%s\r\n" % item for item in corners.items()))
    s.start_hoverlatch(env=env)
    s.wait_for_tray_icons(1)


def rest_in(s, corner):
    """Moves into the corner in small steps (no jump) and returns the point it rests on."""
    s.move_pointer(*s.near_corner(corner))
    s.move_pointer(*s.corner_point(corner))
    return s.corner_point(corner)


def companions_get_their_toggles(s):
    loftmoor, tessawell = s.start_companion("Loftmoor.Main"), s.start_companion("Tessawell.Main")
    notchling = s.start_companion("Notchling.Main")
    start(s, TopRight="Loftmoor", BottomRight="Notchling")
    rest_in(s, "TopRight")
    wait_for(loftmoor.messages, FIRE_TIMEOUT_S, "a toggle message at the Loftmoor window")
    x, y = rest_in(s, "BottomRight")
    wait_for(notchling.messages, FIRE_TIMEOUT_S, "a toggle message at the Notchling window")
    holds(lambda: len(loftmoor.messages()) == 1 and len(notchling.messages()) == 1, QUIET_S, "one toggle per visit")
    expect(loftmoor.messages() == [("WM_LOFTMOOR_TOGGLE", 0, 0)], "Loftmoor.Main got %s" % loftmoor.messages())
    expect(not tessawell.messages(), "the former window class got %s as well" % tessawell.messages())
    # wParam 1 and the pointer position packed as x in the low word, y in the high word.
    expect(notchling.messages() == [("WM_NOTCHLING_TOGGLE", 1, (y << 16) | x)], "Notchling.Main got %s for (%d, %d)"
           % (notchling.messages(), x, y))
    # Without a Loftmoor window, the window of its former name gets that name's own message.
    loftmoor.process.stop()
    rest_in(s, "TopRight")
    wait_for(tessawell.messages, FIRE_TIMEOUT_S, "a toggle message at the Tessawell window")
    expect(tessawell.messages() == [("WM_TESSAWELL_TOGGLE", 0, 0)], "Tessawell.Main got %s" % tessawell.messages())


def capture_corner_starts_the_tool_in_its_folder(s):
    tool_dir = os.path.join(s.dir, "Framwick Tool")
    os.makedirs(tool_dir)
    tool = os.path.join(tool_dir, "capture standin.exe")
    shutil.copy2(s.standin("peer"), tool)
    location = '"%s"\r\n' % s.windows_path(tool)
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + location.encode("utf-16-le"))
    log = os.path.join(s.dir, "capture.log")
    start(s, env={"HOVERLATCH_CAPTURE_LOG": s.windows_path(log)}, BottomLeft="FramwickOcr", TopRight="Disabled")
    rest_in(s, "BottomLeft")
    wait_for(lambda: harness.log_lines(log), FIRE_TIMEOUT_S, "the capture tool's start")
    holds(lambda: len(harness.log_lines(log)) == 1, QUIET_S, "one start while the pointer rests")
    fields = dict(f.split("=", 1) for f in harness.log_lines(log)[0].split("\t"))
    print("  capture tool: %s" % fields)
    expect(fields.get("argc") == "2" and fields.get("arg1") == "--ocr", "arguments: %s" % fields)
    expect(fields.get("cwd", "").rstrip("\\").lower() == s.windows_path(tool_dir).lower(),
           "working directory %r, expected %r" % (fields.get("cwd"), s.windows_path(tool_dir)))


harness.run_case(companions_get_their_toggles, capture_corner_starts_the_tool_in_its_folder)
