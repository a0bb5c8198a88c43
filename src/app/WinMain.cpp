#include <windows.h>

#include "app/Shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything else loads a DLL: from now on no load, ours or one a system DLL makes for us,
    // searches the executable's folder, where a download folder may hold planted look-alikes.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RunHoverlatch(instance);
}
