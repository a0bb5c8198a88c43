#include "corners/Dispatch.h"

#include "corners/CaptureLaunch.h"
#include "corners/CornerTracker.h"
#include "platform/Messages.h"
#include "platform/Platform.h"

namespace {

constexpr DWORD kActionSpacingMs = 450;  // minimum gap between two actions, milliseconds

bool SendOneKey(WORD virtualKey, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = 0;
    input.ki.dwFlags = flags;
    input.ki.time = 0;
    input.ki.dwExtraInfo = 0;
    return g_platform.sendInput(1, &input, sizeof(INPUT)) == 1;
}

// Win+Tab as four separate inputs. Nothing else is pressed or released, so modifiers the user holds
// stay as they are. Once the Windows key went down it is always released, or it would stay stuck.
bool SendTaskViewChord() {
    if (!SendOneKey(VK_LWIN, 0)) return false;
    const bool tabAccepted = SendOneKey(VK_TAB, 0);
    if (tabAccepted) SendOneKey(VK_TAB, KEYEVENTF_KEYUP);  // result ignored: the press already counted
    SendOneKey(VK_LWIN, KEYEVENTF_KEYUP);                  // result ignored: nothing more can be done
    return tabAccepted;
}

// The companion's current class first, then its former name; a running companion is never started.
bool ToggleLoftmoor() {
    if (g_messages.loftmoorToggle == 0 && g_messages.tessawellToggle == 0) return false;
    UINT message = g_messages.loftmoorToggle;
    HWND window = g_platform.findWindowW(L"Loftmoor.Main", nullptr);
    if (!window) {
        message = g_messages.tessawellToggle;
        window = g_platform.findWindowW(L"Tessawell.Main", nullptr);
        if (!window) return false;
    }
    if (message == 0) return false;
    return g_platform.postMessageW(window, message, 0, 0) != FALSE;
}

// The companion places itself at the pointer: x and y each cut to 16 bits, higher bits clear.
LPARAM PackPointer(POINT point) {
    const DWORD low = static_cast<WORD>(point.x);
    const DWORD high = static_cast<WORD>(point.y);
    return static_cast<LPARAM>(low | (high << 16));
}

bool ToggleNotchling(POINT point) {
    if (g_messages.notchlingToggle == 0) return false;
    HWND window = g_platform.findWindowW(L"Notchling.Main", nullptr);
    if (!window) return false;
    return g_platform.postMessageW(window, g_messages.notchlingToggle, 1, PackPointer(point)) != FALSE;
}

bool StartCapture(CornerAction action) {
    if (!CaptureModeArgument(action)) return false;
    return LaunchCaptureTool(action);
}

bool CarryOut(CornerAction action, POINT point) {
    switch (action) {
    case CornerAction::Disabled: return false;
    case CornerAction::TaskView: return SendTaskViewChord();
    case CornerAction::Loftmoor: return ToggleLoftmoor();
    case CornerAction::Notchling: return ToggleNotchling(point);
    default: return StartCapture(action);
    }
}

}  // namespace

bool DispatchCornerAction(Corner corner, POINT point) {
    // A capture start runs a nested message loop that can re-enter the poll: never dispatch inside it.
    if (g_tracker.launchInProgress) return false;
    if (g_tracker.lastActionTick != 0 && g_platform.getTickCount() - g_tracker.lastActionTick < kActionSpacingMs) {
        return false;
    }
    // Read now, not when the dwell began: the menu may have changed the corner meanwhile.
    if (!CarryOut(ActionFor(corner), point)) return false;
    DWORD now = g_platform.getTickCount();
    // A stored 0 means "never"; an action at tick 0 must still hold the next one back.
    if (now == 0) now = 1;
    g_tracker.lastActionTick = now;
    return true;
}
