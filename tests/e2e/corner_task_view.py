"""Resting in the top-right corner sends Task View (Win+Tab) with no configuration at all; a jump into the
corner or a held button does not, until the pointer comes in again or the button is released."""

import harness
from harness import TASK_VIEW_CHORD, expect, holds, wait_for

DWELL_MS = 500  # the default dwell of 350 ms plus the top-right corner's extra 150 ms
QUIET_S = 1.5   # how long "nothing more happens" is watched
# The watcher samples the pointer about every millisecond, so it may see the arrival a moment after the
# program did; a fire earlier than this allows is a real fault.
SAMPLING_TOLERANCE_MS = 3


def start(s, approach=True):
    keys = s.start_key_watcher()
    s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    if approach:
        s.move_pointer(*s.near_corner("TopRight"))
    return keys, s.corner_point("TopRight")


def arrive(s, keys, point, jump=False):
    """Moves into `point`; returns GetTickCount of the arrival as a peer process saw it, and a log mark."""
    mark = keys.mark()
    (s.jump_pointer if jump else s.move_pointer)(*point)
    return wait_for(lambda: keys.arrival_tick(*point, since=mark), 5, "the pointer at %s" % (point,)), mark


def expect_chord_after(keys, mark, since_tick, what):
    wait_for(lambda: len(keys.events(mark)) >= 4, 5, "the Task View chord " + what)
    events = keys.events(mark)
    expect(keys.chord(mark) == TASK_VIEW_CHORD and all(e.injected for e in events),
           "%s: expected an injected LWin down, Tab down, Tab up, LWin up; got %s" % (what, events))
    delay = events[0].time - since_tick
    print("  %s: Win+Tab %d ms later" % (what, delay))
    expect(delay >= DWELL_MS - SAMPLING_TOLERANCE_MS, "%s: fired after %d ms, before the dwell" % (what, delay))


def rest_fires_once_and_again_after_leaving(s):
    keys, corner = start(s)
    for visit in (1, 2):
        arrival, mark = arrive(s, keys, corner)
        expect_chord_after(keys, mark, arrival, "visit %d" % visit)
        holds(lambda: len(keys.events()) == 4 * visit, QUIET_S, "nothing more while the pointer rests")
        s.move_pointer(*s.near_corner("TopRight"))


def jump_into_corner_waits_for_reentry(s):
    keys, corner = start(s, approach=False)
    arrive(s, keys, corner, jump=True)  # from the screen centre: far beyond the jump threshold in one poll
    holds(lambda: not keys.events(), QUIET_S, "no key event after a jump into the corner")
    s.move_pointer(*s.near_corner("TopRight"))
    arrival, mark = arrive(s, keys, corner)
    expect_chord_after(keys, mark, arrival, "re-entry after the jump")


def held_button_defers_the_dwell(s):
    keys, corner = start(s)
    s.press("down")  # a window drag that ends in the corner
    arrive(s, keys, corner)
    holds(lambda: not keys.events(), QUIET_S, "no key event while the left button is held")
    mark = keys.mark()
    expect_chord_after(keys, mark, s.press("up"), "after the release")
    expect(len(keys.events()) == 4, "more than the chord: %s" % keys.events())


harness.run_case(rest_fires_once_and_again_after_leaving, jump_into_corner_waits_for_reentry,
                 held_button_defers_the_dwell)
