#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"hl-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    std::error_code walking, ignored;
    // A read-only file cannot be deleted until it is made writable again.
    for (fs::recursive_directory_iterator it(path_, walking), end; !walking && it != end; it.increment(walking))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(fs::path(path), std::ios::binary);
    file << bytes;
    file.close();
    return !file.fail();
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Utf16Bytes(const std::wstring& text, bool withMark) {
    std::string bytes = withMark ? "\xFF\xFE" : "";
    for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return bytes;
}

std::string Utf8(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    std::string bytes(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

int StressRounds(int quick, int full) {
    wchar_t value[4] = {};
    return GetEnvironmentVariableW(L"HOVERLATCH_FULL_STRESS", value, 4) == 1 && value[0] == L'1' ? full : quick;
}
