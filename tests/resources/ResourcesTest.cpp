#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

std::string ResourceBytes(WORD id, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found))
                 : std::string();
}

}  // namespace

TEST(Resources, IconGroupsHoldEverySizeInThirtyTwoBitColour) {
    struct Group { WORD id; std::vector<int> sizes; };
    const Group groups[] = {{101, {16, 24, 32, 48, 64, 128, 256}}, {102, {16, 24, 32, 48}}};  // application, tray
    for (const Group& group : groups) {
        // A 6-byte header, then 14 bytes per image: width first (0 means 256), bit count at offset 6.
        const std::string directory = ResourceBytes(group.id, RT_GROUP_ICON);
        ASSERT_EQ(directory.size(), 6 + group.sizes.size() * 14) << group.id;
        for (size_t i = 0; i < group.sizes.size(); ++i) {
            const auto* entry = reinterpret_cast<const BYTE*>(directory.data()) + 6 + i * 14;
            EXPECT_EQ(entry[0] == 0 ? 256 : entry[0], group.sizes[i]) << group.id;
            EXPECT_EQ(entry[6] | entry[7] << 8, 32) << group.id << " at " << group.sizes[i];
        }
    }
}

TEST(Resources, VersionDescribesVersion1030OfAWindowsApplicationInUsEnglish) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));  // .3.0
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(length, 4u);  // exactly one language and code page pair
    EXPECT_EQ(*translation, MAKELONG(0x0409, 0x04B0));

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {  // null: free text naming the author
        {L"FileDescription", L"Hoverlatch"}, {L"FileVersion", L"1.0.3.0"},       {L"InternalName", L"Hoverlatch"},
        {L"OriginalFilename", L"Hoverlatch.exe"}, {L"ProductName", L"Hoverlatch"}, {L"ProductVersion", L"1.03"},
        {L"Comments", L"Mouse-first window switching without Alt+Tab."}, {L"LegalCopyright", nullptr},
        {L"CreatedBy", nullptr}, {L"Note", L"This is a personal project and is not affiliated with the company."},
    };
    for (const auto& [key, expected] : strings) {
        wchar_t* text = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << Utf8(key);
        EXPECT_TRUE(expected ? !lstrcmpW(text, expected) : wcsstr(text, L"K.Vantor") != nullptr)
            << Utf8(key) << ": " << Utf8(text);
    }
}

TEST(Resources, DefaultConfigIs1163BytesOfThirtyOneCrLfLinesWithTheKeyLinesInPlace) {
    const std::string bytes = ResourceBytes(103, RT_RCDATA);
    ASSERT_EQ(bytes.size(), 1163u);
    EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u);  // no byte order mark
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(bytes.substr(at, end - at));
    }
    // 31 CR LF pairs ending the text, and no CR or LF outside them.
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r') + std::count(bytes.begin(), bytes.end(), '\n'), 62);
    // Lines 18 to 30 are the keys; all others are comments.
    const std::vector<std::string> keys(lines.begin() + 17, lines.begin() + 30), expected{
        "[Trigger]",     "TopLeft=Disabled",  "TopRight=TaskView", "BottomLeft=Disabled", "BottomRight=Disabled",
        "EdgeZonePx=12", "CornerDwellMs=350", "",                  "[UI]",                "Language=",
        "",              "[General]",         "RunAtStartup=0"};
    EXPECT_EQ(keys, expected);
    const auto isComment = [](const std::string& line) { return line.rfind(';', 0) == 0; };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), isComment), 18);
}

TEST(Resources, ManifestAsksForPerMonitorDpiCommonControls6AndNoElevation) {
    const std::string manifest = ResourceBytes(1, RT_MANIFEST);
    for (const char* part : {">PerMonitorV2<", ">true/pm<", "level=\"asInvoker\"", "Microsoft.Windows.Common-Controls",
                             "version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\""}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    // The loader applied it: the process is per-monitor aware from the start.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}
