#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "IniTestHelpers.h"
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

namespace {

constexpr WORD kDefaultConfigResource = 103;   // the embedded default configuration
constexpr size_t kDefaultConfigBytes = 1163;   // its size as shipped

TEST(IniValues, NullArgumentsGiveTheDefaultFalseOrNoChange) {
    IniDocument document(L"unused.ini");
    document.SetValue(L"S", L"k", L"v");
    struct Case {
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* fallback;
        std::wstring value;
        bool has;
    };
    const Case cases[] = {
        {L"S", L"k", L"d", L"v", true},
        {nullptr, L"k", L"d", L"d", false},
        {L"S", nullptr, L"d", L"d", false},
        {nullptr, nullptr, nullptr, L"", false},
        {L"S", nullptr, nullptr, L"", false},
        {L"S", L"missing", L"d", L"d", false},
        {L"S", L"missing", nullptr, L"", false},
        {L"Missing", L"k", L"d", L"d", false},
        {L"s", L"k", L"d", L"d", false},
        {L"S", L"K", nullptr, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.section ? c.section : L"(null)") << "/" << (c.key ? c.key : L"(null)"));
        EXPECT_EQ(document.GetValue(c.section, c.key, c.fallback), c.value);
        EXPECT_EQ(document.HasKey(c.section, c.key), c.has);
    }

    const IniContents before = ContentsOf(document);
    document.SetValue(nullptr, L"k", L"x");
    document.SetValue(L"S", nullptr, L"x");
    document.SetValue(L"S", L"k", nullptr);
    document.SetValue(L"T", L"k", nullptr);
    EXPECT_EQ(ContentsOf(document), before);
    EXPECT_TRUE(ModelIsConsistent(document));
}

TEST(IniValues, StoredEmptyValueIsReturnedNotTheDefault) {
    IniDocument document(L"unused.ini");
    document.SetValue(L"UI", L"Language", L"");
    EXPECT_EQ(document.GetValue(L"UI", L"Language", L"en"), L"");
    EXPECT_TRUE(document.HasKey(L"UI", L"Language"));
}

TEST(IniValues, SetValueAppendsNewNamesAndKeepsExistingPositions) {
    IniDocument document(L"unused.ini");
    document.SetValue(L"B", L"y", L"1");
    document.SetValue(L"A", L"x", L"1");
    document.SetValue(L"B", L"a", L"2");
    document.SetValue(L"B", L"y", L"3");
    document.SetValue(L"", L"", L"empty names are accepted");
    EXPECT_EQ(ContentsOf(document), (IniContents{{L"B", {{L"y", L"3"}, {L"a", L"2"}}},
                                                 {L"A", {{L"x", L"1"}}},
                                                 {L"", {{L"", L"empty names are accepted"}}}}));
    EXPECT_TRUE(ModelIsConsistent(document));
}

TEST(IniSave, DefaultConfigurationIsRewrittenInTheDocumentsOwnForm) {
    const std::string shipped = ResourceBytes(kDefaultConfigResource);
    ASSERT_EQ(shipped.size(), kDefaultConfigBytes);
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, shipped));
    IniDocument document(path);
    ASSERT_TRUE(document.Load());
    ASSERT_TRUE(document.Save());

    const std::string expected =
        "\xEF\xBB\xBF"
        "[Trigger]\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\nBottomRight=Disabled\r\n"
        "EdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\nLanguage=\r\n[General]\r\nRunAtStartup=0";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_FALSE(FileExists(path + L".tmp"));
}

TEST(IniSave, NeverLoadedDocumentIsWrittenInTheOrderValuesWereSet) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    IniDocument document(path);
    document.SetValue(L"Z", L"b", L"1");
    document.SetValue(L"A", L"a", L"2");
    document.SetValue(L"Z", L"a", L"\u65E5\u672C");
    document.SetValue(L"Empty", L"gone", L"x");
    document.sections[L"Empty"].clear();  // a key list entry without a value is skipped when rendering
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(path), SavedForm(L"[Z]\r\nb=1\r\na=\u65E5\u672C\r\n[A]\r\na=2\r\n[Empty]"));
}

TEST(IniSave, ValuesAreWrittenVerbatimAndReadBackByTheLineRules) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    IniDocument document(path);
    document.SetValue(L"S", L"padded", L"  a b\t");
    document.SetValue(L"S", L"broken", L"1\r\nextra=2");
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(path), SavedForm(L"[S]\r\npadded=  a b\t\r\nbroken=1\r\nextra=2"));

    IniDocument reread(path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(ContentsOf(reread), (IniContents{{L"S", {{L"padded", L"a b"}, {L"broken", L"1"}, {L"extra", L"2"}}}}));
}

TEST(IniSave, SaveLeavesTheDocumentUnchanged) {
    ScratchFolder scratch;
    IniDocument document(scratch / L"config.ini");
    document.SetValue(L"S", L"k", L"v");
    const IniContents before = ContentsOf(document);
    ASSERT_TRUE(document.Save());
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ContentsOf(document), before);
}

TEST(IniSave, EmptyDocumentFailsAndLeavesTheFileUntouched) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    const std::string userBytes = "; hand-written\r\n[Trigger]\r\nTopLeft=TaskView\r\n";
    ASSERT_TRUE(WriteBytes(path, userBytes));
    IniDocument document(path);
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(ReadBytes(path), userBytes);
    EXPECT_FALSE(FileExists(path + L".tmp"));

    IniDocument nowhere(scratch / L"absent.ini");
    EXPECT_FALSE(nowhere.Save());
    EXPECT_FALSE(FileExists(scratch / L"absent.ini"));
    EXPECT_FALSE(FileExists(scratch / L"absent.ini.tmp"));
}

TEST(IniSave, SaveReplacesTheFileAndALeftoverTemporaryFile) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, "[Old]\r\nk=v\r\n; a long tail that must not survive the replacement"));
    ASSERT_TRUE(WriteBytes(path + L".tmp", std::string(4096, 'x')));  // left by a process that died mid-save
    IniDocument document(path);
    ASSERT_TRUE(document.Load());
    document.SetValue(L"Old", L"k", L"w");
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(path), SavedForm(L"[Old]\r\nk=w"));
    EXPECT_FALSE(FileExists(path + L".tmp"));
}

TEST(EnsureParentDirectory, CreatesTheWholeChainOrReportsWhyNot) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBytes(scratch / L"afile", "x"));
    struct Case {
        std::wstring path;
        bool result;
        std::wstring mustExist;
    };
    const Case cases[] = {
        {L"config.ini", true, L""},                                             // no folder part
        {L"\\config.ini", true, L""},                                           // separator first
        {scratch / L"a\\b\\c\\config.ini", true, scratch / L"a\\b\\c"},
        {scratch / L"d/e/config.ini", true, scratch / L"d\\e"},
        {scratch / L"afile\\config.ini", true, L""},                           // an existing file counts
        {scratch / L"afile\\sub\\config.ini", false, L""},                     // cannot be created under a file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path);
        EXPECT_EQ(EnsureParentDirectory(c.path), c.result);
        if (!c.mustExist.empty()) {
            EXPECT_TRUE(GetFileAttributesW(c.mustExist.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
        }
    }
    EXPECT_FALSE(FileExists(L"config.ini"));
}

TEST(WriteFileAtomically, WritesMarkAndCrLfTextWithoutFinalBreak) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"deep\\er\\file.ini";
    ASSERT_TRUE(WriteFileAtomically(path, L"[A]\r\nk=\U0001F600"));
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes, "\xEF\xBB\xBF[A]\r\nk=\xF0\x9F\x98\x80");
}

TEST(WriteFileAtomically, FailuresLeaveNothingBehind) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBytes(scratch / L"afile", "keep"));
    struct Case {
        const char* name;
        std::wstring path;
        std::wstring text;
    };
    const Case cases[] = {
        {"empty text", scratch / L"sub\\empty.ini", L""},
        {"parent is a file", scratch / L"afile\\x.ini", L"[A]"},
        {"parent cannot be created", scratch / L"afile\\sub\\x.ini", L"[A]"},
        {"target is a folder", scratch.path().substr(0, scratch.path().size() - 1), L"[A]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(WriteFileAtomically(c.path, c.text));
        EXPECT_FALSE(FileExists(c.path + L".tmp"));
    }
    EXPECT_EQ(ReadBytes(scratch / L"afile"), "keep");
    EXPECT_FALSE(FileExists(scratch / L"sub\\empty.ini"));
}

TEST(WriteFileAtomically, PathWithoutFolderIsWrittenInTheCurrentDirectory) {
    ScratchFolder scratch;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
    const bool written = WriteFileAtomically(L"relative.ini", L"[A]");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(written);
    EXPECT_EQ(ReadBytes(scratch / L"relative.ini"), "\xEF\xBB\xBF[A]");
    EXPECT_FALSE(FileExists(scratch / L"relative.ini.tmp"));
}

}  // namespace
