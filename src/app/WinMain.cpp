#include <windows.h>

#include "app/Shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunHoverlatch(instance); }
