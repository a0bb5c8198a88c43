"""The tray icon survives a shell restart, and closing the hidden window removes it and ends the program."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import harness  # noqa: E402
from harness import expect, wait_for  # noqa: E402

WM_CLOSE = 0x0010


def taskbar_created_adds_the_icon_again(s):
    s.start_hoverlatch()
    before = s.wait_for_tray_icons(1) and s.tray_icons()
    # Wine has no shell restart; the announcement is posted as the new shell would broadcast it.
    s.post("Hoverlatch.MainWindow", "TaskbarCreated")
    after = wait_for(lambda: (lambda icons: icons if icons and icons != before else None)(s.tray_icons()), 10,
                     "the icon added again")
    expect(len(after) == 1, "expected one tray icon after TaskbarCreated, found %d" % len(after))


def close_removes_the_icon_and_exits_with_zero(s):
    app = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    s.post("Hoverlatch.MainWindow", WM_CLOSE, title="Hoverlatch")
    code = app.wait(10)
    expect(code is not None, "still running 10 s after WM_CLOSE")
    expect(code == 0, "exited with %d after WM_CLOSE" % code)
    expect(s.tray_icon_count() == 0, "the tray icon is still shown after exit")


harness.run_case(taskbar_created_adds_the_icon_again, close_removes_the_icon_and_exits_with_zero)
