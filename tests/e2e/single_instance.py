"""A second start hands over to the running instance (its tray menu opens) and exits with 0, promptly even
when that instance is hung; "TaskbarCreated" from a restarted shell brings the one icon back."""
import signal
import time

import harness
from harness import expect, wait_for

HAND_OFF_TIMEOUT_S = 3.0  # the longest a second start waits for the running instance
SLACK_S = 1.0


def second_start(s, deadline_s):
    began = time.monotonic()
    code = s.start_hoverlatch().wait(deadline_s)
    print("  second start exited with %s after %.2f s" % (code, time.monotonic() - began))
    expect(code == 0, "the second start did not exit with 0 within %.1f s: %s" % (deadline_s, code))


def second_start_opens_the_menu_of_the_first(s):
    first = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    second_start(s, 10)
    wait_for(s.menu_window, 10, "the running instance's tray menu")
    expect(first.alive() and len(s.tray_icons()) == 1, "expected the first instance and its one icon")


def second_start_with_the_first_stopped(s):
    first = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    began = time.monotonic()
    s.probe("tick")  # what starting any small program under Wine costs right now
    first.send_signal(signal.SIGSTOP)  # hung: it no longer answers messages
    second_start(s, HAND_OFF_TIMEOUT_S + (time.monotonic() - began) + SLACK_S)
    first.send_signal(signal.SIGCONT)
    expect(first.alive() and len(s.tray_icons()) == 1, "expected the first instance and its one icon")


def taskbar_created_adds_the_icon_again(s):
    s.start_hoverlatch()
    before = s.wait_for_tray_icons(1) and s.tray_icons()
    s.post("Hoverlatch.MainWindow", "TaskbarCreated")  # Wine has no shell restart to broadcast it
    after = wait_for(lambda: [i for i in [s.tray_icons()] if i and i != before], 10, "the icon added again")[0]
    expect(len(after) == 1, "expected one tray icon after TaskbarCreated, found %d" % len(after))


harness.run_case(second_start_opens_the_menu_of_the_first, second_start_with_the_first_stopped,
                 taskbar_created_adds_the_icon_again)
