#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The version block of this executable, as GetFileVersionInfoW hands it out.
std::vector<BYTE> OwnVersionBlock() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &unused);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, block.data())) block.clear();
    return block;
}

// The text under \StringFileInfo\040904b0\<key>, or nullopt-like false.
bool QueryString(std::vector<BYTE>& block, const std::wstring& key, std::wstring* text) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring path = L"\\StringFileInfo\\040904b0\\" + key;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return false;
    *text = static_cast<const wchar_t*>(value);
    return true;
}

}  // namespace

TEST(VersionResource, FixedPartDescribesVersion1030OfAWindowsApplication) {
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));  // .3.0
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);  // no debug, pre-release or patched build
}

TEST(VersionResource, OneTranslationUsEnglishUnicode) {
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty());
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);  // exactly one language and code page pair
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);
}

TEST(VersionResource, AllTenStringsAreInTheTranslationsBlock) {
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty());
    struct Case {
        const wchar_t* key;
        const wchar_t* value;  // null: free text, checked below
    };
    const Case cases[] = {
        {L"FileDescription", L"Hoverlatch"},
        {L"FileVersion", L"1.0.3.0"},
        {L"InternalName", L"Hoverlatch"},
        {L"OriginalFilename", L"Hoverlatch.exe"},
        {L"ProductName", L"Hoverlatch"},
        {L"ProductVersion", L"1.03"},
        {L"Comments", L"Mouse-first window switching without Alt+Tab."},
        {L"LegalCopyright", nullptr},
        {L"CreatedBy", nullptr},
        {L"Note", L"This is a personal project and is not affiliated with the company."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.key)));
        std::wstring text;
        ASSERT_TRUE(QueryString(block, c.key, &text));
        if (c.value) {
            EXPECT_EQ(text, c.value);
        } else {
            EXPECT_FALSE(text.empty());
        }
    }
    std::wstring copyright;
    ASSERT_TRUE(QueryString(block, L"LegalCopyright", &copyright));
    EXPECT_NE(copyright.find(L"K.Vantor"), std::wstring::npos);
    std::wstring createdBy;
    ASSERT_TRUE(QueryString(block, L"CreatedBy", &createdBy));
    EXPECT_NE(createdBy.find(L"K.Vantor"), std::wstring::npos);
}
