#include "corners/CaptureLaunch.h"

#include <windows.h>
#include <shellapi.h>

#include "corners/CornerTracker.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "storage/Paths.h"

namespace {

constexpr DWORD kLocationReadLimit = 4094;   // bytes read from the location file at most
constexpr size_t kLocationBufferSize = 4096; // bytes; zeroed, so the read never needs a terminator
constexpr DWORD kMinLocationBytes = 4;       // bytes: a mark and one unit, or two units
constexpr ULONG kLaunchMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;  // no error dialogs

std::wstring LocationFilePath() { return GetAppDataDirectory() + L"quenby\\Framwick\\capture-exe.txt"; }

bool IsTrailingFiller(wchar_t c) { return c == L'\0' || c == L'\r' || c == L'\n' || c == L' '; }

// The location file is written by another program: everything about it is checked, nothing trusted.
// On success `text` holds the candidate path (not yet tested for existence).
bool DecodeLocation(const unsigned char* bytes, DWORD count, std::wstring& text) {
    if (count < kMinLocationBytes) return false;
    DWORD offset = (bytes[0] == 0xFF && bytes[1] == 0xFE) ? 2 : 0;
    DWORD remaining = count - offset;
    if (remaining % 2 != 0) return false;

    std::wstring units;
    units.reserve(remaining / 2);
    for (DWORD i = offset; i < count; i += 2) {
        units += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));  // little-endian whatever the host
    }
    while (!units.empty() && IsTrailingFiller(units.back())) units.pop_back();
    if (units.size() >= 2 && units.front() == L'"' && units.back() == L'"') units = units.substr(1, units.size() - 2);
    if (units.empty()) return false;
    // A NUL inside the text would make Windows see only the part before it, while the rest (and the
    // working directory taken from it) would still travel with the path: it is not one path.
    if (units.find(L'\0') != std::wstring::npos) return false;
    text = std::move(units);
    return true;
}

// The folder the tool starts in: the path up to its last separator. A drive or share root keeps its
// separator, since "C:" alone means the current directory of drive C, not its root. A bare file name
// has no folder part: no directory is passed and the tool starts in ours, as a shell would start it.
bool WorkingDirectoryOf(const std::wstring& path, std::wstring& folder) {
    size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return false;
    bool isRoot = separator == 0 || (separator == 2 && path[1] == L':');
    folder = path.substr(0, isRoot ? separator + 1 : separator);
    return true;
}

}  // namespace

const wchar_t* CaptureModeArgument(CornerAction action) {
    switch (action) {
    case CornerAction::FramwickRegion:     return L"--region";
    case CornerAction::FramwickWindow:     return L"--window";
    case CornerAction::FramwickFullscreen: return L"--fullscreen";
    case CornerAction::FramwickFreeform:   return L"--freeform";
    case CornerAction::FramwickScroll:     return L"--scroll";
    case CornerAction::FramwickOcr:        return L"--ocr";
    case CornerAction::FramwickBar:        return L"--bar";
    default:                               return nullptr;
    }
}

bool ReadCaptureToolPath(std::wstring& path) {
    UniqueFile file(CreateFileW(LocationFilePath().c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    unsigned char bytes[kLocationBufferSize] = {};
    DWORD count = 0;
    BOOL read = ReadFile(file.get(), bytes, kLocationReadLimit, &count, nullptr);
    file.reset();
    if (!read || count > kLocationReadLimit) return false;

    std::wstring text;
    if (!DecodeLocation(bytes, count, text)) return false;
    // Any existing object passes, a folder included; whether it runs is the shell's business.
    if (GetFileAttributesW(text.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    path = std::move(text);
    return true;
}

bool IsCaptureToolAvailable() {
    std::wstring scratch;
    return ReadCaptureToolPath(scratch);
}

bool LaunchCaptureTool(CornerAction action) {
    const wchar_t* argument = CaptureModeArgument(action);
    if (!argument) return false;
    // A start cannot begin inside another one; the dispatcher refuses too, this keeps the flags honest.
    if (g_tracker.launchInProgress) return false;
    std::wstring path;
    if (!ReadCaptureToolPath(path)) return false;
    std::wstring folder;
    bool hasFolder = WorkingDirectoryOf(path, folder);

    // Set before the start, whatever its outcome: the start may run timer ticks before it returns,
    // and a failed start must still hold off the next action. A tick of 0 would read as "never".
    DWORD now = g_platform.getTickCount();
    g_tracker.fired = true;
    g_tracker.launchInProgress = true;
    g_tracker.lastActionTick = now != 0 ? now : 1;

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = kLaunchMask;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = path.c_str();
    info.lpParameters = argument;
    info.lpDirectory = hasFolder ? folder.c_str() : nullptr;
    info.nShow = SW_SHOWNORMAL;
    bool started = g_platform.shellExecuteExW(&info) != FALSE;
    // The tool is neither waited for nor watched; its handle is closed at once, on any outcome.
    UniqueHandle process(info.hProcess);

    g_tracker.fired = true;
    g_tracker.launchInProgress = false;
    return started;
}
