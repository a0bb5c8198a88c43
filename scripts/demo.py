"""What scripts/run.sh shows without an X display: Hoverlatch doing its main job on a virtual display."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import TASK_VIEW_CHORD, CaseFailure, wait_for  # noqa: E402

KEY_NAMES = {0x5B: "LWin", 0x09: "Tab"}


def show(s):
    keys = s.start_key_watcher()
    s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    print("Hoverlatch is running; its tray icon is shown. A key watcher listens as another program would.")
    corner = s.corner_point("TopRight")
    s.move_pointer(*s.near_corner("TopRight"))
    mark = keys.mark()
    print("Moving the pointer into the top-right corner %s and resting it there..." % (corner,))
    s.move_pointer(*corner)
    wait_for(lambda: len(keys.events(mark)) >= 4, 5, "the Task View chord")
    events = keys.events(mark)
    chord = ", ".join("%s %s" % (KEY_NAMES.get(e.vk, hex(e.vk)), e.action) for e in events)
    print("Task View fired once the pointer had rested there: %s." % chord)
    return keys.chord(mark) == TASK_VIEW_CHORD


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--standins", required=True)
    args = parser.parse_args()
    print("No X display here: Hoverlatch runs on a virtual display (%s) for a short demonstration."
          % os.environ.get("DISPLAY"))
    session = harness.Session(args.bin, args.standins)
    try:
        session.clean_user_state()
        session.jump_pointer(session.width // 2, session.height // 2)
        ok = show(session)
    except CaseFailure as failure:
        print("The demonstration failed: %s" % failure)
        print(session.describe())
        ok = False
    finally:
        session.close()
    print("Stopped Hoverlatch and the key watcher." if ok else "Stopped.")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
