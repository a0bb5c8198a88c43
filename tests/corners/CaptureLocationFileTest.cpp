// The capture tool's location file, written as real bytes to a real file and read back through
// ReadCaptureToolPath. The file comes from another program: nothing in it may crash the reader or
// yield anything but an existing path.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

#include "corners/CaptureLaunch.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

std::wstring g_appData;  // what the faked shell folder query reports, without a final backslash

HRESULT WINAPI ScratchAppData(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_appData.c_str(), MAX_PATH - 1);
    return S_OK;
}

std::string Mark(const std::wstring& text) { return Utf16Bytes(text, true); }
std::string NoMark(const std::wstring& text) { return Utf16Bytes(text, false); }
std::wstring Slashed(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\\') c = L'/';
    return text;
}
std::string PadTo(std::string bytes, size_t size, char fill) {
    bytes.resize(size, fill);
    return bytes;
}

// APPDATA points at a scratch folder holding the maker's folder and a capture tool executable.
class CaptureLocationFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring root = scratch.path();
        g_appData = root.substr(0, root.size() - 1);
        g_platform.shGetFolderPathW = &ScratchAppData;
        toolFolder = scratch / L"Framwick Tool";
        tool = toolFolder + L"\\capture.exe";
        CreateDirectoryChain(toolFolder + L"\\");
        ASSERT_TRUE(WriteBytes(tool, std::string("MZ not really a program")));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        location = scratch / L"quenby\\Framwick\\capture-exe.txt";
        ASSERT_EQ(location, GetAppDataDirectory() + L"quenby\\Framwick\\capture-exe.txt");
    }

    ScratchFolder scratch;
    PlatformGuard guard;
    std::wstring toolFolder, tool, location;
};

struct LocationCase {
    const char* name;
    std::string bytes;
    std::wstring expected;  // empty: the file is rejected
};

}  // namespace

TEST_F(CaptureLocationFile, CasesTable) {
    const std::wstring q = L"\"";
    const std::string utf8 = Utf8(tool);
    const std::string utf8Odd = utf8.size() % 2 ? utf8 : utf8 + " ";
    const std::string utf8Even = utf8.size() % 2 ? utf8 + " " : utf8;
    // Files at the read limit: the path, then UTF-16 spaces ("20 00") up to 4094 bytes.
    std::string spaced = Mark(tool);
    while (spaced.size() + 2 <= 4094) spaced += std::string("\x20\x00", 2);
    std::string spacedNoMark = NoMark(tool);
    while (spacedNoMark.size() + 2 <= 4094) spacedNoMark += std::string("\x20\x00", 2);
    std::string noEnd = Mark(tool);
    while (noEnd.size() < 4096) noEnd += std::string("A\x00", 2);

    const LocationCase cases[] = {
        {"UTF-16 with mark and final line end", Mark(tool + L"\r\n"), tool},
        {"UTF-16 without mark", NoMark(tool), tool},
        {"UTF-16 without mark, final line end", NoMark(tool + L"\r\n"), tool},
        {"quoted, with mark, CR LF", Mark(q + tool + q + L"\r\n"), tool},
        {"quoted, without mark", NoMark(q + tool + q), tool},
        {"trailing mix of CR LF, spaces and NULs", Mark(tool + L"\r\n  " + std::wstring(3, L'\0') + L"\n \r"), tool},
        {"trailing NULs only", Mark(tool + std::wstring(8, L'\0')), tool},
        {"forward slashes", Mark(Slashed(tool)), Slashed(tool)},
        {"folder path", Mark(toolFolder + L"\r\n"), toolFolder},
        {"folder path with final backslash", Mark(toolFolder + L"\\"), toolFolder + L"\\"},
        {"4094 bytes with mark, spaces after the path", spaced, tool},
        {"4094 bytes without mark", spacedNoMark, tool},
        {"4095 bytes: the odd last byte lies beyond the limit", spaced + "Z", tool},
        {"4096 bytes: the last unit lies beyond the limit", spaced + std::string("Z\x00", 2), tool},
        {"4096 bytes of path characters without end", noEnd, L""},
        {"tab after the path is kept", Mark(tool + L"\t\r\n"), L""},
        {"tab before the path is kept", Mark(L"\t" + tool), L""},
        {"space before the path is kept", Mark(L" " + tool), L""},
        {"3 bytes", std::string("\xFF\xFE" "C", 3), L""},
        {"3 bytes without mark", std::string("C\x00:", 3), L""},
        {"empty file", std::string(), L""},
        {"mark only", std::string("\xFF\xFE"), L""},
        {"mark and line end only", Mark(L"\r\n"), L""},
        {"odd length after the mark", Mark(tool) + "x", L""},
        {"odd length without mark", NoMark(tool) + "\n", L""},
        {"UTF-8 text of odd length", utf8Odd, L""},
        {"UTF-8 text of even length", utf8Even, L""},
        {"UTF-8 with its own mark", "\xEF\xBB\xBF" + utf8Even, L""},
        {"big-endian mark", std::string("\xFE\xFF", 2) + NoMark(tool), L""},
        {"doubled mark", Mark(L"\xFEFF" + tool), L""},
        {"missing path", Mark(tool + L".missing\r\n"), L""},
        {"lone quote", Mark(q), L""},
        {"lone quote before the path", Mark(q + tool + L"\r\n"), L""},
        {"lone quote after the path", Mark(tool + q), L""},
        {"pair of quotes with nothing between", Mark(q + q), L""},
        {"pair of quotes, then line end", Mark(q + q + L"\r\n"), L""},
        {"pair of quotes around blanks", Mark(q + L"  " + q), L""},
        {"line end inside the quotes is not trimmed", Mark(q + tool + L"\r\n" + q), L""},
        {"second line after the path", Mark(tool + L"\r\n" + toolFolder), L""},
        {"NUL inside the path, text after it", Mark(tool + std::wstring(1, L'\0') + L"garbage"), L""},
        {"path of NULs", std::string(64, '\0'), L""},
        {"only a drive letter", Mark(L"Q:"), L""},
    };
    for (const LocationCase& c : cases) {
        ASSERT_TRUE(WriteBytes(location, c.bytes)) << c.name;
        std::wstring path = L"unchanged";
        bool ok = ReadCaptureToolPath(path);
        if (c.expected.empty()) {
            EXPECT_FALSE(ok) << c.name << ": read " << Utf8(path);
            EXPECT_EQ(path, L"unchanged") << c.name;
        } else {
            EXPECT_TRUE(ok) << c.name;
            EXPECT_EQ(path, c.expected) << c.name;
        }
        EXPECT_EQ(IsCaptureToolAvailable(), ok) << c.name;
    }
}

TEST_F(CaptureLocationFile, AbsentOrUnreadableFileMeansNoTool) {
    std::wstring path = L"unchanged";
    EXPECT_FALSE(ReadCaptureToolPath(path)) << "no file";
    // A folder where the file should be cannot be read as one.
    CreateDirectoryChain(location + L"\\");
    EXPECT_FALSE(ReadCaptureToolPath(path)) << "folder instead of file";
    EXPECT_FALSE(IsCaptureToolAvailable());
    EXPECT_EQ(path, L"unchanged");
}

TEST_F(CaptureLocationFile, FileHeldOpenByItsWriterIsStillRead) {
    // The capture tool may be rewriting the file while we look; we share read, write and delete.
    ASSERT_TRUE(WriteBytes(location, Mark(tool)));
    HANDLE writer = CreateFileW(location.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    std::wstring path;
    EXPECT_TRUE(ReadCaptureToolPath(path));
    EXPECT_EQ(path, tool);
    CloseHandle(writer);
}

TEST_F(CaptureLocationFile, ToolRemovedOrInstalledIsSeenAtTheNextRead) {
    ASSERT_TRUE(WriteBytes(location, Mark(tool + L"\r\n")));
    EXPECT_TRUE(IsCaptureToolAvailable());
    ASSERT_TRUE(DeleteFileW(tool.c_str()));
    EXPECT_FALSE(IsCaptureToolAvailable());
    ASSERT_TRUE(WriteBytes(tool, std::string("MZ")));
    EXPECT_TRUE(IsCaptureToolAvailable());
}

// Random files: whatever the bytes, the reader returns, and what it accepts is an existing path.
TEST_F(CaptureLocationFile, RandomBytesNeverCrashAndOnlyExistingPathsPass) {
    constexpr int kTries = 12000;
    constexpr unsigned kSeed = 20240611;
    std::mt19937 random(kSeed);
    auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const wchar_t kSpecial[] = {L'"', L'\r', L'\n', L' ', L'\0', L'\t', L'\\', L'/', L':', 0xFEFF, 0xD800, 0xFFFF};

    int accepted = 0;
    int rejected = 0;
    for (int i = 0; i < kTries; ++i) {
        std::string bytes;
        switch (i % 3) {
        case 0: {  // pure noise, mostly short, sometimes beyond the read limit
            size_t size = below(4) == 0 ? below(5000) : below(64);
            for (size_t k = 0; k < size; ++k) bytes += static_cast<char>(random() & 0xFF);
            break;
        }
        case 1: {  // the real path with a few units replaced, inserted or cut
            std::wstring text = below(2) ? L"\"" + tool + L"\"" : tool;
            for (size_t k = below(4); k > 0; --k) {
                size_t at = below(text.size() + 1);
                wchar_t unit = kSpecial[below(sizeof(kSpecial) / sizeof(kSpecial[0]))];
                switch (below(3)) {
                case 0: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), unit); break;
                case 1: if (at < text.size()) text[at] = unit; break;
                default: text.resize(at); break;
                }
            }
            bytes = Utf16Bytes(text, below(2) == 0);
            if (below(5) == 0) bytes += static_cast<char>(random() & 0xFF);
            break;
        }
        default: {  // the real path followed by a random run of filler and noise
            std::wstring text = tool;
            for (size_t k = below(40); k > 0; --k) text += kSpecial[below(sizeof(kSpecial) / sizeof(kSpecial[0]))];
            bytes = Utf16Bytes(text, below(2) == 0);
            if (below(8) == 0) bytes = PadTo(bytes, 4090 + below(12), static_cast<char>(random() & 0xFF));
            break;
        }
        }
        ASSERT_TRUE(WriteBytes(location, bytes)) << i;
        std::wstring path = L"unchanged";
        if (ReadCaptureToolPath(path)) {
            ++accepted;
            ASSERT_FALSE(path.empty()) << i;
            ASSERT_EQ(path.find(L'\0'), std::wstring::npos) << i;
            ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << i;
        } else {
            ++rejected;
            ASSERT_EQ(path, L"unchanged") << i;
        }
    }
    std::printf("[ property ] %d random location files (seed %u): %d accepted as existing paths, %d rejected\n",
                kTries, kSeed, accepted, rejected);
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(accepted + rejected, kTries);
}
