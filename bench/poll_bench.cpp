// Cost of one corner poll tick through the real Win32 calls, next to the bare calls a tick cannot
// avoid: GetCursorPos and three GetAsyncKeyState for an unmoved pointer, plus MonitorFromPoint and
// GetMonitorInfoW for a moved one. The pointer is moved with SetCursorPos between ticks (not timed)
// and stays in the interior of the monitor, so no action fires.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "corners/CornerTracker.h"
#include "platform/Platform.h"
#include "settings/Settings.h"

namespace {

// Short batches of every kind take turns, so a busy machine slows all kinds alike; each figure is the
// median (and the minimum) over the rounds.
constexpr int kRounds = 101;
constexpr int kUnmovedTicks = 300;     // per round
constexpr int kMovedTicks = 80;        // per round; SetCursorPos between ticks is slow under Wine
constexpr int kSingleCalls = 200;      // per round, for the cost of each call on its own

LARGE_INTEGER g_frequency;
volatile LONG g_sink = 0;  // keeps the bare calls' results alive

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Nanoseconds(LONGLONG ticks, int calls) {
    return static_cast<double>(ticks) * 1e9 / static_cast<double>(g_frequency.QuadPart) / calls;
}

double Median(double* values, int count) {
    std::sort(values, values + count);
    return values[count / 2];
}

double Minimum(const double* values, int count) { return *std::min_element(values, values + count); }

// Two interior points of the primary monitor, a few pixels apart: a moved tick without a corner.
POINT g_points[2];

void BareUnmovedCalls() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    g_sink = g_sink + p.x + GetAsyncKeyState(VK_LBUTTON) + GetAsyncKeyState(VK_RBUTTON) + GetAsyncKeyState(VK_MBUTTON);
}

void BareMovedCalls() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    g_sink = g_sink + p.x + GetAsyncKeyState(VK_LBUTTON) + GetAsyncKeyState(VK_RBUTTON) + GetAsyncKeyState(VK_MBUTTON);
    HMONITOR monitor = MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    g_sink = g_sink + info.rcMonitor.right;
}

// Whole loop timed: the pointer does not move.
double TimeUnmoved(void (*tick)()) {
    SetCursorPos(g_points[0].x, g_points[0].y);
    tick();  // the first tick after a move is a full one
    const LONGLONG start = Now();
    for (int i = 0; i < kUnmovedTicks; ++i) tick();
    return Nanoseconds(Now() - start, kUnmovedTicks);
}

// Only the tick is timed; the move before it is not.
double TimeMoved(void (*tick)(), int* notSeen) {
    LONGLONG total = 0;
    for (int i = 0; i < kMovedTicks; ++i) {
        const POINT target = g_points[i % 2];
        SetCursorPos(target.x, target.y);
        const LONGLONG start = Now();
        tick();
        total += Now() - start;
        if (tick == &PollCorners && (g_tracker.lastPoint.x != target.x || g_tracker.lastPoint.y != target.y)) {
            ++*notSeen;
        }
    }
    return Nanoseconds(total, kMovedTicks);
}

void OneCursorRead() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    g_sink = g_sink + p.x;
}
void OneKeyState() { g_sink = g_sink + GetAsyncKeyState(VK_LBUTTON); }
HMONITOR g_monitor = nullptr;
void OneMonitorLookup() {
    g_sink = g_sink + static_cast<LONG>(reinterpret_cast<INT_PTR>(MonitorFromPoint(g_points[0], MONITOR_DEFAULTTONEAREST)));
}
void OneMonitorInfo() {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(g_monitor, &info);
    g_sink = g_sink + info.rcMonitor.right;
}
void OneDpiQuery() {
    UINT x = 96, y = 96;
    GetDpiForMonitor(g_monitor, MDT_EFFECTIVE_DPI, &x, &y);
    g_sink = g_sink + static_cast<LONG>(x);
}

double TimeCalls(void (*call)()) {
    const LONGLONG start = Now();
    for (int i = 0; i < kSingleCalls; ++i) call();
    return Nanoseconds(Now() - start, kSingleCalls);
}

double TimeClockReads() {
    LONGLONG total = 0;
    for (int i = 0; i < kMovedTicks; ++i) {
        const LONGLONG start = Now();
        total += Now() - start;
    }
    return Nanoseconds(total, kMovedTicks);
}

// What one tick asks of Windows and of the heap, counted over a batch of unmoved and of moved ticks.
struct TickCost {
    long allocations, cursorReads, keyStates, monitorLookups, monitorInfos, dpiQueries;
};
TickCost g_cost = {};
bool g_counting = false;
Platform g_real;

BOOL WINAPI CountedCursorRead(POINT* p) { return ++g_cost.cursorReads, g_real.getCursorPos(p); }
SHORT WINAPI CountedKeyState(int key) { return ++g_cost.keyStates, g_real.getAsyncKeyState(key); }
HMONITOR WINAPI CountedMonitorLookup(POINT p, DWORD flags) {
    return ++g_cost.monitorLookups, g_real.monitorFromPoint(p, flags);
}
BOOL WINAPI CountedMonitorInfo(HMONITOR m, MONITORINFO* info) {
    return ++g_cost.monitorInfos, g_real.getMonitorInfoW(m, info);
}
HRESULT WINAPI CountedDpiQuery(HMONITOR m, MONITOR_DPI_TYPE type, UINT* x, UINT* y) {
    return ++g_cost.dpiQueries, g_real.getDpiForMonitor(m, type, x, y);
}

void PrintTickCost(const char* what, void (*batch)(), int ticks) {
    g_real = g_platform;
    g_platform.getCursorPos = &CountedCursorRead;
    g_platform.getAsyncKeyState = &CountedKeyState;
    g_platform.monitorFromPoint = &CountedMonitorLookup;
    g_platform.getMonitorInfoW = &CountedMonitorInfo;
    g_platform.getDpiForMonitor = &CountedDpiQuery;
    g_cost = {};
    g_counting = true;
    batch();
    g_counting = false;
    g_platform = g_real;
    const double n = ticks;
    std::printf("%s, per tick: %.2f allocations, %.2f GetCursorPos, %.2f GetAsyncKeyState, %.2f MonitorFromPoint, "
                "%.2f GetMonitorInfoW, %.2f GetDpiForMonitor\n", what, g_cost.allocations / n, g_cost.cursorReads / n,
                g_cost.keyStates / n, g_cost.monitorLookups / n, g_cost.monitorInfos / n, g_cost.dpiQueries / n);
}

}  // namespace

// Every heap allocation of the process passes here; only those made while a cost is counted are counted.
void* operator new(std::size_t size) {
    if (g_counting) ++g_cost.allocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

int main() {
    QueryPerformanceFrequency(&g_frequency);
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    g_platform = RealPlatform();

    g_settings = Settings{};
    g_settings.topLeft = CornerAction::TaskView;
    g_settings.topRight = CornerAction::TaskView;
    g_settings.bottomLeft = CornerAction::TaskView;
    g_settings.bottomRight = CornerAction::TaskView;
    ResetCornerTracking();

    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    g_points[0] = {width / 2, height / 2};
    g_points[1] = {width / 2 + 7, height / 2 + 3};
    g_monitor = MonitorFromPoint(g_points[0], MONITOR_DEFAULTTONEAREST);
    SetCursorPos(g_points[1].x, g_points[1].y);
    POINT check = {};
    GetCursorPos(&check);
    std::printf("screen %dx%d; SetCursorPos to (%ld, %ld), GetCursorPos reads (%ld, %ld)\n", width, height,
                g_points[1].x, g_points[1].y, check.x, check.y);

    double pollUnmoved[kRounds], bareUnmoved[kRounds], pollMoved[kRounds], bareMoved[kRounds], clock[kRounds];
    double cursor[kRounds], key[kRounds], lookup[kRounds], info[kRounds], dpi[kRounds];
    int notSeen = 0;
    TimeUnmoved(&PollCorners);  // warm-up: caches, the DPI query, the first full test
    for (int r = 0; r < kRounds; ++r) {
        pollUnmoved[r] = TimeUnmoved(&PollCorners);
        bareUnmoved[r] = TimeUnmoved(&BareUnmovedCalls);
        pollMoved[r] = TimeMoved(&PollCorners, &notSeen);
        bareMoved[r] = TimeMoved(&BareMovedCalls, &notSeen);
        clock[r] = TimeClockReads();
        cursor[r] = TimeCalls(&OneCursorRead);
        key[r] = TimeCalls(&OneKeyState);
        lookup[r] = TimeCalls(&OneMonitorLookup);
        info[r] = TimeCalls(&OneMonitorInfo);
        dpi[r] = TimeCalls(&OneDpiQuery);
    }
    const double pu = Median(pollUnmoved, kRounds), bu = Median(bareUnmoved, kRounds);
    const double pm = Median(pollMoved, kRounds), bm = Median(bareMoved, kRounds);
    const double puMin = Minimum(pollUnmoved, kRounds), buMin = Minimum(bareUnmoved, kRounds);
    const double pmMin = Minimum(pollMoved, kRounds), bmMin = Minimum(bareMoved, kRounds);
    std::printf("%d interleaved rounds; a round: %d unmoved ticks, %d moved ticks, %d of each single call\n", kRounds,
                kUnmovedTicks, kMovedTicks, kSingleCalls);
    std::printf("                                 median ns   ratio     min ns   ratio\n");
    std::printf("unmoved tick: PollCorners        %9.0f  %6.3f  %9.0f  %6.3f\n", pu, pu / bu, puMin, puMin / buMin);
    std::printf("  bare GetCursorPos + 3 GetAsyncKeyState %9.0f          %9.0f\n", bu, buMin);
    std::printf("moved tick:   PollCorners        %9.0f  %6.3f  %9.0f  %6.3f\n", pm, pm / bm, pmMin, pmMin / bmMin);
    std::printf("  bare + MonitorFromPoint + GetMonitorInfoW %6.0f          %9.0f\n", bm, bmMin);
    std::printf("single calls (median / min ns): GetCursorPos %.0f / %.0f, GetAsyncKeyState %.0f / %.0f, "
                "MonitorFromPoint %.0f / %.0f, GetMonitorInfoW %.0f / %.0f, GetDpiForMonitor %.0f / %.0f "
                "(asked only on a monitor or zone change)\n",
                Median(cursor, kRounds), Minimum(cursor, kRounds), Median(key, kRounds), Minimum(key, kRounds),
                Median(lookup, kRounds), Minimum(lookup, kRounds), Median(info, kRounds), Minimum(info, kRounds),
                Median(dpi, kRounds), Minimum(dpi, kRounds));
    std::printf("clock read pair (included in each moved-tick figure) %.0f ns\n", Median(clock, kRounds));
    std::printf("moved ticks whose new position the poll did not see: %d of %d\n", notSeen, kRounds * kMovedTicks);
    PrintTickCost("unmoved ticks", [] { TimeUnmoved(&PollCorners); }, kUnmovedTicks + 1);
    PrintTickCost("moved ticks", [] { int unseen = 0; TimeMoved(&PollCorners, &unseen); }, kMovedTicks);
    std::printf("tracker after the run: blocked %d, dwell %d, fired %d, last action tick %lu\n", g_tracker.blocked,
                g_tracker.dwellActive, g_tracker.fired, g_tracker.lastActionTick);
    return notSeen == 0 ? 0 : 1;
}
