#include <gtest/gtest.h>
#include <windows.h>

// The embedded manifest reaches the loader: the process is per-monitor DPI aware from its first instruction,
// before any code of ours could ask for it.
TEST(Resources, ManifestMakesTheProcessPerMonitorAwareFromTheStart) {
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}
