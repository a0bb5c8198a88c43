#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui/AboutWindow.h"

namespace {

std::vector<BYTE> OwnVersionBlock() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &unused);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, block.data())) block.clear();
    return block;
}

}  // namespace

TEST(AboutTexts, VersionStringsComeFromTheProgramsOwnTranslation) {
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty());
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"ProductName", L"Hoverlatch"},
        {L"ProductVersion", L"1.03"},
        {L"FileVersion", L"1.0.3.0"},
        {L"Comments", L"Mouse-first window switching without Alt+Tab."},
        {L"Note", L"This is a personal project and is not affiliated with the company."},
        {L"NoSuchKey", L""},
        {L"", L""},
        // The query path is cut at 95 characters, so an overlong key cannot be found.
        {L"ProductNameProductNameProductNameProductNameProductNameProductNameProductNameProductName", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.key).size());
        EXPECT_EQ(QueryVersionString(block.data(), c.key), c.value);
    }
    EXPECT_NE(QueryVersionString(block.data(), L"CreatedBy").find(kAuthorDisplayName), std::wstring::npos);
    EXPECT_NE(QueryVersionString(block.data(), L"LegalCopyright").find(kAuthorDisplayName), std::wstring::npos);
    EXPECT_EQ(QueryVersionString(nullptr, L"ProductName"), L"");
}

TEST(AboutTexts, AuthorNameBecomesTheOnlyLink) {
    const std::wstring link = std::wstring(L"<a href=\"") + AUTHOR_PAGE_URL + L"\">K.Vantor</a>";
    struct Case {
        std::wstring text;
        std::wstring markup;
    };
    const Case cases[] = {
        {L"Created by K.Vantor", L"Created by " + link},
        {L"K.Vantor", link},
        {L"K.Vantor made this", link + L" made this"},
        {L"By K.Vantor and K.Vantor", L"By " + link + L" and K.Vantor"},
        {L"Created by someone else", L"Created by someone else"},
        {L"created by k.vantor", L"created by k.vantor"},
        {L"K.Vanto", L"K.Vanto"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildAuthorLinkMarkup(c.text), c.markup);
    }
}

TEST(AboutTexts, UiFontIsSegoeUiWithTheGivenCellHeightWeightAndSlant) {
    struct Case {
        int height;
        int weight;
        bool italic;
    };
    for (Case c : {Case{28, 650, false}, Case{26, 400, true}, Case{42, 650, false}}) {
        HFONT font = CreateUiFont(c.height, c.weight, c.italic);
        ASSERT_NE(font, nullptr);
        LOGFONTW described{};
        ASSERT_EQ(GetObjectW(font, sizeof(described), &described), static_cast<int>(sizeof(described)));
        EXPECT_EQ(described.lfHeight, c.height);  // positive: cell height
        EXPECT_EQ(described.lfWeight, c.weight);
        EXPECT_EQ(described.lfItalic != 0, c.italic);
        EXPECT_EQ(described.lfUnderline, 0);
        EXPECT_EQ(described.lfQuality, CLEARTYPE_QUALITY);
        EXPECT_STREQ(described.lfFaceName, L"Segoe UI");
        DeleteObject(font);
    }
}
