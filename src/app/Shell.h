#pragma once
#include <windows.h>

// The whole program: start-up, the message loop and shutdown. Returns the process exit code.
int RunHoverlatch(HINSTANCE instance);
