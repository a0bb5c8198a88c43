"""Corners at rest, as a user and peer programs see them: Task View (Win+Tab) from the top-right corner with no
configuration at all, not after a jump into the corner nor while a button is held, until the pointer comes in
again or the button is released, also from the portable zip unpacked; companion toggles and the capture tool's
start, set in config.ini."""
import os
import shutil
import zipfile

import harness
from harness import TASK_VIEW_CHORD, expect, holds, wait_for

QUIET_S = 1.5        # how long "nothing more happens" is watched
FIRE_TIMEOUT_S = 10  # a dwell of at most 500 ms plus Wine's scheduling on a loaded machine


def start(s, approach=True):
    keys = s.start_key_watcher()
    s.start_hoverlatch(shown=True)
    if approach:
        s.move_pointer(*s.near_corner("TopRight"))
    return keys, s.corner_point("TopRight")


def expect_chord(keys, mark, what):
    wait_for(lambda: len(keys.events(mark)) >= 4, FIRE_TIMEOUT_S, "the Task View chord " + what)
    expect(keys.chord(mark) == TASK_VIEW_CHORD and all(e.injected for e in keys.events(mark)),
           "%s: expected an injected LWin down, Tab down, Tab up, LWin up; got %s" % (what, keys.events(mark)))


def rest_fires_once_and_again_after_leaving(s):
    keys, corner = start(s)
    for visit in (1, 2):
        mark = keys.mark()
        s.move_pointer(*corner)
        expect_chord(keys, mark, "visit %d" % visit)
        holds(lambda: len(keys.events()) == 4 * visit, QUIET_S, "nothing more while the pointer rests")
        s.move_pointer(*s.near_corner("TopRight"))


def jump_into_corner_waits_for_reentry(s):
    keys, corner = start(s, approach=False)
    s.jump_pointer(*corner)  # from the screen centre: far beyond the jump threshold in one poll
    holds(lambda: not keys.events(), QUIET_S, "no key event after a jump into the corner")
    s.move_pointer(*s.near_corner("TopRight"))
    s.move_pointer(*corner)
    expect_chord(keys, 0, "on re-entry after the jump")


def held_button_defers_the_dwell(s):
    keys, corner = start(s)
    s.press("down")  # a window drag that ends in the corner
    s.move_pointer(*corner)
    holds(lambda: not keys.events(), QUIET_S, "no key event while the left button is held")
    s.press("up")
    expect_chord(keys, 0, "after the release")
    holds(lambda: len(keys.events()) == 4, QUIET_S, "only the chord")


def unpacked_zip_fires_the_same(s):
    """This build packed and signed (HOVERLATCH_ZIP), unpacked into a fresh folder on the Windows drive."""
    folder = os.path.join(s.prefix, "drive_c", os.path.basename(s.dir))
    try:
        with zipfile.ZipFile(os.environ["HOVERLATCH_ZIP"]) as archive:
            archive.extractall(folder)
        s.exe = os.path.join(folder, "Hoverlatch.exe")
        keys, corner = start(s)
        s.move_pointer(*corner)
        expect_chord(keys, 0, "from the unpacked program")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def configured(s, env=None, **corners):
    s.write_config("[Trigger]\r\n" + "".join("%s=%s\r\n" % item for item in corners.items()))
    s.start_hoverlatch(env=env, shown=True)


def rest_in(s, corner):
    """Moves into the corner in small steps (no jump)."""
    s.move_pointer(*s.near_corner(corner))
    s.move_pointer(*s.corner_point(corner))


def loftmoor_toggle_goes_to_its_window_and_else_to_its_former_one(s):
    loftmoor, tessawell = s.start_companion("Loftmoor.Main"), s.start_companion("Tessawell.Main")
    configured(s, TopRight="Loftmoor")
    rest_in(s, "TopRight")
    wait_for(loftmoor.messages, FIRE_TIMEOUT_S, "a toggle message at the Loftmoor window")
    holds(lambda: len(loftmoor.messages()) == 1, QUIET_S, "one toggle per visit")
    expect(loftmoor.messages() == [("WM_LOFTMOOR_TOGGLE", 0, 0)], "Loftmoor.Main got %s" % loftmoor.messages())
    expect(not tessawell.messages(), "the former window class got %s as well" % tessawell.messages())
    loftmoor.process.stop()  # without a Loftmoor window, the window of its former name gets its own message
    s.move_pointer(*s.near_corner("BottomLeft"))
    rest_in(s, "TopRight")
    wait_for(tessawell.messages, FIRE_TIMEOUT_S, "a toggle message at the Tessawell window")
    expect(tessawell.messages() == [("WM_TESSAWELL_TOGGLE", 0, 0)], "Tessawell.Main got %s" % tessawell.messages())


def capture_corner_starts_the_tool_in_its_folder(s):
    tool = os.path.join(s.dir, "Framwick Tool", "capture standin.exe")
    os.makedirs(os.path.dirname(tool))
    shutil.copy2(s.standin("peer"), tool)
    location = '"%s"\r\n' % s.windows_path(tool)  # UTF-16 with its mark, as the tool writes it
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + location.encode("utf-16-le"))
    log = os.path.join(s.dir, "capture.log")
    configured(s, env={"HOVERLATCH_CAPTURE_LOG": s.windows_path(log)}, BottomLeft="FramwickOcr", TopRight="Disabled")
    rest_in(s, "BottomLeft")
    wait_for(lambda: harness.log_lines(log), FIRE_TIMEOUT_S, "the capture tool's start")
    holds(lambda: len(harness.log_lines(log)) == 1, QUIET_S, "one start while the pointer rests")
    fields = dict(f.split("=", 1) for f in harness.log_lines(log)[0].split("\t"))
    print("  capture tool: %s" % fields)
    expect(fields.get("argc") == "2" and fields.get("arg1") == "--ocr", "arguments: %s" % fields)
    expect(fields.get("cwd", "").rstrip("\\").lower() == s.windows_path(os.path.dirname(tool)).lower(),
           "working directory %r" % fields.get("cwd"))


harness.run_case(rest_fires_once_and_again_after_leaving, jump_into_corner_waits_for_reentry,
                 held_button_defers_the_dwell, unpacked_zip_fires_the_same,
                 loftmoor_toggle_goes_to_its_window_and_else_to_its_former_one,
                 capture_corner_starts_the_tool_in_its_folder)
