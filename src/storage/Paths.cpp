#include "storage/Paths.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/Platform.h"

namespace {

constexpr DWORD kPathCapacity = MAX_PATH;          // wide characters, terminator included
constexpr DWORD kLongModulePathCapacity = 32768;   // wide characters: the longest path Windows accepts
constexpr int kAppDataFolder = CSIDL_APPDATA;      // the roaming application-data folder
constexpr size_t kDriveRootLength = 3;             // "C:\": never worth a CreateDirectoryW call

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

// The module path, in a buffer that grows when the system reports truncation: a cut path would name
// a different, existing file or folder (a shortcut to it would start something else).
std::wstring GetExecutablePath() {
    std::wstring buffer(kPathCapacity, L'\0');
    for (;;) {
        DWORD capacity = static_cast<DWORD>(buffer.size());
        DWORD length = g_platform.getModuleFileNameW(nullptr, buffer.data(), capacity);
        if (length == 0) return {};
        // A result equal to the capacity is the only sign of a cut path.
        if (length < capacity) {
            buffer.resize(wcsnlen(buffer.c_str(), length));
            return buffer;
        }
        if (capacity >= kLongModulePathCapacity) return {};
        buffer.assign(std::min<size_t>(static_cast<size_t>(capacity) * 2, kLongModulePathCapacity), L'\0');
    }
}

namespace {

// Only a backslash counts as a final separator here; a folder reported with a trailing forward
// slash still gets a backslash, which Windows reads as a harmless doubled separator.
std::wstring WithFinalBackslash(const wchar_t* text) {
    std::wstring folder = text;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

}  // namespace

std::wstring GetExecutableDirectory() {
    std::wstring path = GetExecutablePath();
    // A text without any separator is no folder (only a failed or odd query gives one): empty then, so
    // that names built on it stay relative to the current directory instead of gluing onto it.
    size_t separator = path.find_last_of(L"\\/");
    path.resize(separator == std::wstring::npos ? 0 : separator + 1);
    return path;
}

std::wstring GetAppDataDirectory() {
    wchar_t buffer[kPathCapacity] = {};
    HRESULT result = g_platform.shGetFolderPathW(nullptr, kAppDataFolder, nullptr, SHGFP_TYPE_CURRENT, buffer);
    buffer[kPathCapacity - 1] = L'\0';
    // A success code with nothing in the buffer would put every file relative to the current
    // directory; the environment variable is a better answer then.
    if (SUCCEEDED(result) && buffer[0] != L'\0') return WithFinalBackslash(buffer);

    buffer[0] = L'\0';
    DWORD length = g_platform.getEnvironmentVariableW(L"APPDATA", buffer, kPathCapacity);
    // 0: absent or empty. kPathCapacity or more: the value did not fit and the buffer holds no
    // usable text (the call then answers the size it would need, terminator included).
    if (length != 0 && length < kPathCapacity) {
        buffer[length] = L'\0';
        return WithFinalBackslash(buffer);
    }
    return GetExecutableDirectory();
}

std::wstring GetConfigFilePath() { return GetAppDataDirectory() + L"quenby\\Hoverlatch\\" + L"config.ini"; }

void CreateDirectoryChain(const std::wstring& folder) {
    std::wstring prefix;
    prefix.reserve(folder.size());
    for (wchar_t c : folder) {
        prefix += c;
        // Results are ignored: levels that exist, or that we may not create, fail harmlessly and the
        // caller finds out when it opens its file.
        if (IsSeparator(c) && prefix.size() > kDriveRootLength) CreateDirectoryW(prefix.c_str(), nullptr);
    }
    // For a path without a final separator this creates the last level; otherwise it repeats it.
    CreateDirectoryW(folder.c_str(), nullptr);
}
