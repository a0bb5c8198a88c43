// Stands in for the capture tool: appends how it was started to the file HOVERLATCH_CAPTURE_LOG names,
// one UTF-8 line per start: "cwd=<current directory>\targc=<n>\targ1=<first argument>\t...\n".
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    constexpr DWORD kCapacity = 32768;  // wide characters: the longest path Windows accepts
    static wchar_t logPath[kCapacity];
    static wchar_t directory[kCapacity];
    const DWORD length = GetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", logPath, kCapacity);
    if (length == 0 || length >= kCapacity) return 0;
    GetCurrentDirectoryW(kCapacity, directory);
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring record = std::wstring(L"cwd=") + directory + L"\targc=" + std::to_wstring(count);
    for (int i = 1; arguments && i < count; ++i) record += L"\targ" + std::to_wstring(i) + L"=" + arguments[i];
    record += L"\n";
    std::string bytes(record.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, record.data(), static_cast<int>(record.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    // One write per record keeps lines whole when several starts log at once.
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(log);
    return 0;
}
