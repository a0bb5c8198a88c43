#include "app/Shell.h"

int RunHoverlatch(HINSTANCE) { return 0; }
