"""Resting the pointer in the top-right corner sends Task View (Win+Tab), with no configuration at all."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import TASK_VIEW_CHORD, expect, holds, wait_for  # noqa: E402

DWELL_MS = 500    # default dwell of 350 ms plus the top-right corner's extra 150 ms
QUIET_S = 1.5     # how long "nothing more happens" is watched
# The watcher samples the pointer about every millisecond, so it may note the arrival a moment after
# the program did; an earlier fire than this tolerance allows is a real fault.
SAMPLING_TOLERANCE_MS = 3


def start(s):
    keys = s.start_key_watcher(pointer=True)
    s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    return keys


def arrive(s, keys, point):
    """Moves into `point` and returns GetTickCount of the arrival as a peer process saw it."""
    mark = keys.mark()
    s.move_pointer(*point)
    return wait_for(lambda: keys.arrival_tick(*point, since=mark), 5, "the pointer at %s" % (point,)), mark


def expect_chord_after(keys, mark, arrival, what):
    wait_for(lambda: len(keys.events(mark)) >= 4, 5, "the Task View chord " + what)
    events = keys.events(mark)
    expect(keys.chord(mark) == TASK_VIEW_CHORD, "%s: expected LWin down, Tab down, Tab up, LWin up; got %s"
           % (what, events))
    expect(all(e.injected for e in events), "%s: events not flagged injected: %s" % (what, events))
    delay = events[0].time - arrival
    print("  %s: Win+Tab %d ms after the pointer arrived" % (what, delay))
    expect(delay >= DWELL_MS - SAMPLING_TOLERANCE_MS,
           "%s: fired %d ms after arrival, before the %d ms dwell" % (what, delay, DWELL_MS))


def rest_fires_once_and_again_after_leaving(s):
    keys = start(s)
    corner = s.corner_point("TopRight")
    s.move_pointer(*s.near_corner("TopRight"))
    arrival, mark = arrive(s, keys, corner)
    expect_chord_after(keys, mark, arrival, "first visit")
    holds(lambda: len(keys.events()) == 4, QUIET_S, "exactly four key events while the pointer rests")

    s.move_pointer(*s.near_corner("TopRight"))
    arrival, mark = arrive(s, keys, corner)
    expect_chord_after(keys, mark, arrival, "second visit")
    holds(lambda: len(keys.events()) == 8, QUIET_S, "nothing more while the pointer rests again")


def jump_into_corner_waits_for_reentry(s):
    keys = start(s)
    corner = s.corner_point("TopRight")
    mark = keys.mark()
    s.jump_pointer(*corner)  # from the screen centre in one step: far beyond the 240 px jump threshold
    wait_for(lambda: keys.arrival_tick(*corner, since=mark), 5, "the pointer in the corner")
    holds(lambda: not keys.events(), QUIET_S, "no key event after a jump into the corner")

    s.move_pointer(*s.near_corner("TopRight"))
    arrival, mark = arrive(s, keys, corner)
    expect_chord_after(keys, mark, arrival, "re-entry after the jump")


def held_button_defers_the_dwell(s):
    keys = start(s)
    corner = s.corner_point("TopRight")
    s.move_pointer(*s.near_corner("TopRight"))
    s.press("left", "down")  # a window drag that ends in the corner
    arrival, mark = arrive(s, keys, corner)
    holds(lambda: not keys.events(), QUIET_S, "no key event while the left button is held")
    released = s.press("left", "up")
    events_mark = keys.mark()
    expect(released - arrival >= 0, "release tick before arrival")
    expect_chord_after(keys, events_mark, released, "after releasing the button in the corner")
    expect(len(keys.events()) == 4, "expected only the chord's four events, got %s" % keys.events())


harness.run_case(rest_fires_once_and_again_after_leaving, jump_into_corner_waits_for_reentry,
                 held_button_defers_the_dwell)
