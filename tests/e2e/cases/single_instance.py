"""A second start hands over to the running instance and exits, even when that instance is hung."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import expect, wait_for  # noqa: E402

HAND_OFF_TIMEOUT_S = 3.0  # the longest a second start waits for the running instance
SLACK_S = 0.5


def second_start(s, deadline_s):
    began = time.monotonic()
    second = s.start_hoverlatch()
    code = second.wait(deadline_s)
    elapsed = time.monotonic() - began
    expect(code is not None, "the second start still runs after %.1f s" % deadline_s)
    print("  second start exited with %d after %.2f s" % (code, elapsed))
    expect(code == 0, "the second start exited with %d" % code)


def second_start_exits_and_leaves_one_icon(s):
    first = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    second_start(s, 3.0)
    wait_for(s.menu_window, 10, "the running instance's tray menu")
    expect(first.alive(), "the running instance ended")
    expect(s.tray_icon_count() == 1, "expected one tray icon, found %d" % s.tray_icon_count())


def second_start_with_the_first_stopped(s):
    first = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    began = time.monotonic()
    s.tick()  # what starting any small program under Wine costs on this machine right now
    start_cost = time.monotonic() - began
    first.suspend()  # hung: it no longer answers messages
    second_start(s, HAND_OFF_TIMEOUT_S + start_cost + SLACK_S)
    first.resume()
    expect(first.alive(), "the running instance ended")
    expect(s.tray_icon_count() == 1, "expected one tray icon, found %d" % s.tray_icon_count())


harness.run_case(second_start_exits_and_leaves_one_icon, second_start_with_the_first_stopped)
