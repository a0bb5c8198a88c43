"""Look-alikes of system DLLs beside the program, as a Downloads folder may hold them, never load: not at
start-up, not for the tray menu, not for the About card (common controls, version texts)."""
import glob
import os
import shutil

import harness
from harness import expect, wait_for

PLANTED = ("version", "wtsapi32", "dwmapi", "uxtheme")
VK_UP, VK_RETURN, WM_CLOSE = 0x26, 0x0D, 0x0010


def marks(folder):
    return sorted(os.path.basename(m)[:-len(".dll.mark")].lower() for m in glob.glob(os.path.join(folder, "*.mark")))


def plant(s, folder):
    for name in PLANTED:
        shutil.copy2(os.path.join(s.standins_dir, "planted.dll"), os.path.join(folder, name + ".dll"))


def planted_dlls_never_load(s):
    # Native first, as Windows treats a DLL that is not a KnownDLL: the executable's folder is searched first.
    env = {"WINEDLLOVERRIDES": "%s;%s=n,b" % (os.environ.get("WINEDLLOVERRIDES", ""), ",".join(PLANTED))}
    # Wine 8's own user32 imports version.dll and Wine has no KnownDLLs, so there any windowed program loads a
    # planted version.dll before its first line runs (Windows' user32 is a KnownDLL and imports none). A bare
    # program beside the same look-alikes shows which marks Wine itself causes.
    control = os.path.join(s.dir, "control")
    os.makedirs(control)
    plant(s, control)
    shutil.copy2(s.standin("peer"), control)
    s.start("control", os.path.join(control, "peer.exe"), [s.windows_path(control + "/tick.txt"), "tick"],
            env=env).wait(30)
    excused = marks(control)
    plant(s, s.exe_dir)
    app = s.start_hoverlatch(env=env, shown=True)
    s.choose_in_menu(VK_UP, VK_UP, VK_RETURN)  # from nothing selected: Exit, then About
    wait_for(lambda: s.visible_window("Hoverlatch.AboutWindow"), 15, "the About card")
    s.post("Hoverlatch.AboutWindow", WM_CLOSE)
    wait_for(lambda: s.find_window("Hoverlatch.AboutWindow") is None, 15, "the About card closed")
    loaded = [name for name in marks(s.exe_dir) if name not in excused]
    print("  loaded by Wine itself in any program: %s" % (excused or "none"))
    expect(not loaded, "planted DLLs ran inside the program: %s" % loaded)
    expect(app.alive(), "the program ended with %s" % app.poll())


harness.run_case(planted_dlls_never_load)
