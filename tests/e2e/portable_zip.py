"""The portable download works as unpacked: the zip CPack made from this build (HOVERLATCH_ZIP), extracted
into a fresh folder on the Windows drive, gives a program that sends Task View from the top-right corner."""
import os
import shutil
import tempfile
import zipfile

import harness
from harness import TASK_VIEW_CHORD, expect, wait_for


def unpacked_program_sends_task_view(s):
    folder = tempfile.mkdtemp(prefix="Hoverlatch-unpacked-", dir=os.path.join(s.prefix, "drive_c"))
    try:
        with zipfile.ZipFile(os.environ["HOVERLATCH_ZIP"]) as archive:
            archive.extractall(folder)
        keys = s.start_key_watcher()
        s.start("unpacked", os.path.join(folder, "Hoverlatch.exe"))
        s.wait_for_tray_icons(1)
        s.move_pointer(*s.near_corner("TopRight"))
        mark = keys.mark()
        s.move_pointer(*s.corner_point("TopRight"))
        wait_for(lambda: len(keys.chord(mark)) >= 4, 10, "the Task View chord from the unpacked program")
        expect(keys.chord(mark) == TASK_VIEW_CHORD, "expected Win+Tab, got %s" % keys.events(mark))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


harness.run_case(unpacked_program_sends_task_view)
