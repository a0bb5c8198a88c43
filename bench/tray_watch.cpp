// Watches the tray for the start-up benchmark: tray_watch.exe <result file> <count> <timeout ms>
// Writes "waiting" once it watches, then "<icons shown> <GetTickCount>" as soon as that many tray icons show
// (or at the timeout), polling every 2 ms from inside Wine, so start-up is timed by the program's own clock.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kTrayIconClass[] = "__winex11_tray_icon";  // one window per icon in Wine's X11 driver
constexpr DWORD kPollMs = 2;

void WriteResult(const char* path, const char* text) {
    if (FILE* file = std::fopen(path, "w")) {
        std::fputs(text, file);
        std::fclose(file);
    }
}

// Icons are children of the standalone "Wine System Tray" window, or top-level windows docked into an X tray.
BOOL CALLBACK CountIcon(HWND window, LPARAM count) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::strcmp(className, kTrayIconClass) == 0) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountIconsOf(HWND window, LPARAM count) {
    CountIcon(window, count);
    EnumChildWindows(window, &CountIcon, count);
    return TRUE;
}

int TrayIcons() {
    int count = 0;
    EnumWindows(&CountIconsOf, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const int wanted = std::atoi(argv[2]);
    const DWORD timeout = static_cast<DWORD>(std::atol(argv[3]));
    WriteResult(argv[1], "waiting\n");  // the driver starts the program once the watch is on
    int icons = TrayIcons();
    for (DWORD start = GetTickCount(); icons != wanted && GetTickCount() - start < timeout; Sleep(kPollMs)) {
        icons = TrayIcons();
    }
    char result[64];
    std::snprintf(result, sizeof(result), "%d %lu\n", icons, GetTickCount());
    WriteResult(argv[1], result);
    return icons == wanted ? 0 : 1;
}
