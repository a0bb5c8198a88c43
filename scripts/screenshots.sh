#!/usr/bin/env bash
# Takes the README's screenshots under Xvfb and Wine: the tray menu in each of the nine languages (chosen
# with Language= in config.ini, with the top-right corner's submenus open) and the About card. They are
# saved as PNG files in docs/screenshots/.
#   HOVERLATCH_BUILD   build folder (default build/mingw); HOVERLATCH_DISPLAY  Xvfb display (default 91)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export HOVERLATCH_BUILD="${HOVERLATCH_BUILD:-$root/build/mingw}"
"$root/scripts/build.sh" >/dev/null
# A prefix of its own: the font links below are for the pictures only, the tests keep Wine's defaults.
export WINEPREFIX="$HOVERLATCH_BUILD/wineprefix-screenshots"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
trap hoverlatch_wine_stop EXIT
# Wine's menu font (Tahoma) has no Chinese, Japanese or Korean glyphs. For those menus Tahoma is linked to
# a font that has them; Wine then draws the whole menu with the linked font, so it needs Latin letters too.
cjk_family="WenQuanYi Micro Hei"
if ! fc-list | grep -q "$cjk_family"; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq fonts-wqy-microhei >/dev/null
fi
export HOVERLATCH_CJK_LINK="$(basename "$(fc-match -f '%{file}' "$cjk_family")"),$cjk_family"
mkdir -p "$root/docs/screenshots"

python3 - "$root" "$HOVERLATCH_BUILD" <<'PYTHON'
import os
import subprocess
import sys

root, build = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
import harness  # noqa: E402

OUT = os.path.join(root, "docs", "screenshots")
WM_KEYDOWN, WM_CLOSE, WM_APP_SHOWMENU = 0x0100, 0x0010, 0x8014
VK_ESCAPE, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN = 0x1B, 0x26, 0x27, 0x28, 0x0D
POINTER = (300, 620)        # the menu's bottom-left corner opens here, clear of Wine's tray window
CROP = "1280x740+0+60"      # leaves out Wine's tray window at the top of the screen
LANGUAGES = ["en", "ja", "ko", "zh-CN", "zh-TW", "fr", "it", "de", "es"]  # Language= values
CONFIG = ("[Trigger]\r\nTopLeft=TaskView\r\nTopRight=FramwickRegion\r\nBottomLeft=Disabled\r\n"
          "BottomRight=Loftmoor\r\nEdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\nLanguage=%s\r\n"
          "[General]\r\nRunAtStartup=1\r\n")
CJK = {"ja", "ko", "zh-CN", "zh-TW"}
LINK_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink"


def link_cjk_font(on):
    """Font links are read when a program starts: change them only while Hoverlatch is not running."""
    command = (["wine", "reg", "add", LINK_KEY, "/v", "Tahoma", "/t", "REG_MULTI_SZ", "/d",
                os.environ["HOVERLATCH_CJK_LINK"], "/f"] if on else
               ["wine", "reg", "delete", LINK_KEY, "/v", "Tahoma", "/f"])
    subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)


def key(s, vk):
    s.post("#32768", WM_KEYDOWN, vk, 0)


def stable_screen():
    """The screen once two captures in a row agree, i.e. drawing has finished."""
    def capture():
        return subprocess.run(["import", "-window", "root", "png:-"], capture_output=True, timeout=30).stdout
    def agree():
        first, second = capture(), capture()
        return first if first and first == second else None
    return harness.wait_for(agree, 20, "a stable screen")


def save(png, name):
    """Crops to what was drawn (the background is black) with a small margin, and writes the PNG."""
    path = os.path.join(OUT, name)
    subprocess.run(["convert", "png:-", "-crop", CROP, "+repage", "-trim", "+repage", "-bordercolor", "black",
                    "-border", "6", "-strip", path], input=png, check=True, timeout=30)
    print("wrote", os.path.relpath(path, root), flush=True)


def close_menus(s):
    for _ in range(6):
        if s.menu_window() is None:
            return
        try:
            key(s, VK_ESCAPE)
        except harness.CaseFailure:
            pass  # the last level closed meanwhile
    harness.wait_for(lambda: s.menu_window() is None, 15, "the menu to close")


def open_menu(s):
    s.post("Hoverlatch.MainWindow", WM_APP_SHOWMENU, 0, 0, title="Hoverlatch")
    harness.wait_for(s.menu_window, 15, "the tray menu")


def start(s):
    program = s.start_hoverlatch()
    s.wait_for_tray_icons(1)
    return program


def stop(s, program):
    s.post("Hoverlatch.MainWindow", WM_CLOSE, 0, 0, title="Hoverlatch")
    harness.expect(program.wait(20) == 0, "Hoverlatch did not end")


def shoot_menus(s, aliases):
    program = start(s)
    for alias in aliases:
        s.write_config(CONFIG % alias)  # read again at every opening
        open_menu(s)
        # Top right > FramwickCapture: header, top left, top right; then Task View, Loftmoor,
        # Notchling, FramwickCapture.
        for vk in [VK_DOWN] * 3 + [VK_RIGHT] + [VK_DOWN] * 3 + [VK_RIGHT]:
            key(s, vk)
        save(stable_screen(), "menu-%s.png" % alias)
        close_menus(s)
    stop(s, program)


s = harness.Session(build, os.path.join(build, "tests"))
try:
    s.clean_user_state()
    s.write_appdata_file("quenby/Loftmoor/config.ini", "[General]\r\n")
    s.write_appdata_file("quenby/Notchling/config.ini", "[General]\r\n")
    capture_tool = s.windows_path(s.standin("peer"))
    s.write_appdata_file("quenby/Framwick/capture-exe.txt", b"\xff\xfe" + capture_tool.encode("utf-16-le"))
    s.jump_pointer(*POINTER)

    link_cjk_font(True)
    shoot_menus(s, [alias for alias in LANGUAGES if alias in CJK])
    link_cjk_font(False)
    shoot_menus(s, [alias for alias in LANGUAGES if alias not in CJK])

    program = start(s)
    s.write_config(CONFIG % "en")
    open_menu(s)
    for vk in (VK_UP, VK_UP, VK_RETURN):  # Exit, then About
        key(s, vk)
    harness.wait_for(lambda: (s.find_window("Hoverlatch.AboutWindow") or (0, False, 0))[1], 15, "the About card")
    save(stable_screen(), "about.png")
    s.post("Hoverlatch.AboutWindow", WM_CLOSE, 0, 0)
    stop(s, program)
finally:
    s.close()
PYTHON
