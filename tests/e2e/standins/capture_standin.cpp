// Stands in for the capture tool: records how it was started, then exits.
//
// One line per start, UTF-8, fields separated by tabs:
//   cmdline=<full command line>\tcwd=<current directory>\targc=<n>\targ1=<first argument>\t...\n
// appended to the file named by HOVERLATCH_CAPTURE_LOG, or to capture_standin.log beside this exe.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring LogPath() {
    wchar_t value[32768] = {};
    DWORD length = GetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", value, 32768);
    if (length != 0 && length < 32768) return value;
    wchar_t module[32768] = {};
    GetModuleFileNameW(nullptr, module, 32768);
    std::wstring folder = module;
    size_t separator = folder.find_last_of(L"\\/");
    folder.resize(separator == std::wstring::npos ? 0 : separator + 1);
    return folder + L"capture_standin.log";
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring record = L"cmdline=";
    record += GetCommandLineW();
    wchar_t directory[32768] = {};
    GetCurrentDirectoryW(32768, directory);
    record += L"\tcwd=";
    record += directory;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    record += L"\targc=" + std::to_wstring(count);
    for (int i = 1; arguments && i < count; ++i) record += L"\targ" + std::to_wstring(i) + L"=" + arguments[i];
    if (arguments) LocalFree(arguments);
    record += L"\n";

    // Several starts may append at once: FILE_APPEND_DATA and one write per record keep lines whole.
    std::string bytes = Utf8(record);
    HANDLE log = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 200 && log == INVALID_HANDLE_VALUE; ++attempt) {
        log = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(log);
    return ok && written == bytes.size() ? 0 : 1;
}
