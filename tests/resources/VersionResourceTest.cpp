#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

TEST(VersionResource, DescribesVersion1030OfAWindowsApplicationInUsEnglish) {
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

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);  // exactly one language and code page pair
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {  // null: free text naming the author
        {L"FileDescription", L"Hoverlatch"}, {L"FileVersion", L"1.0.3.0"},       {L"InternalName", L"Hoverlatch"},
        {L"OriginalFilename", L"Hoverlatch.exe"}, {L"ProductName", L"Hoverlatch"}, {L"ProductVersion", L"1.03"},
        {L"Comments", L"Mouse-first window switching without Alt+Tab."}, {L"LegalCopyright", nullptr},
        {L"CreatedBy", nullptr}, {L"Note", L"This is a personal project and is not affiliated with the company."},
    };
    for (const auto& [key, expected] : strings) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(key)));
        wchar_t* text = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length));
        if (expected) {
            EXPECT_STREQ(text, expected);
        } else {
            EXPECT_NE(std::wstring(text).find(L"K.Vantor"), std::wstring::npos);
        }
    }
}
