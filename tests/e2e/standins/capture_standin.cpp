// Stands in for the capture tool: records how it was started, then exits.
//
// One line per start, UTF-8, fields separated by tabs, appended to the file named by HOVERLATCH_CAPTURE_LOG
// (without it nothing is recorded):
//   cmdline=<full command line>\tcwd=<current directory>\targc=<n>\targ1=<first argument>\t...\n
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    static wchar_t logPath[32768];
    static wchar_t directory[32768];
    const DWORD length = GetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", logPath, 32768);
    if (length == 0 || length >= 32768) return 0;
    GetCurrentDirectoryW(32768, directory);
    std::wstring record = std::wstring(L"cmdline=") + GetCommandLineW() + L"\tcwd=" + directory;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    record += L"\targc=" + std::to_wstring(count);
    for (int i = 1; arguments && i < count; ++i) record += L"\targ" + std::to_wstring(i) + L"=" + arguments[i];
    LocalFree(arguments);
    record += L"\n";

    const int wide = static_cast<int>(record.size());
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, record.data(), wide, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, record.data(), wide, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                        nullptr);
    // Appending with one write per record keeps lines whole when several starts log at once.
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(log);
    return ok && written == bytes.size() ? 0 : 1;
}
