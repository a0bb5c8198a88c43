#include <gtest/gtest.h>

#include "IniTestHelpers.h"

namespace {

const std::wstring kSample = L"[UI]\r\nLanguage=\u65E5\u672C \u00E9";
const IniContents kSampleContents = {{L"UI", {{L"Language", L"\u65E5\u672C \u00E9"}}}};

// Exactly `size` bytes, the one key on the very last bytes: seen only when the whole file was read.
std::string Sized(size_t size) { return "[A]\r\n" + std::string(size - 13, ';') + "\r\nlast=2"; }

// Loads over stale contents, then saves a change: only a file that exists but could not be read is protected.
TEST(IniLoad, EncodingsSizesAndMissingFiles) {
    enum Setup { File, NoFile, NoFolder };
    const struct { const char* name; Setup setup; std::string bytes; bool loads, protects; IniContents contents; }
        cases[] = {  // protects: loadFailedOnExistingFile
        {"UTF-8 with mark", File, "\xEF\xBB\xBF" + Utf8(kSample), true, false, kSampleContents},
        {"UTF-8 without mark", File, Utf8(kSample), true, false, kSampleContents},
        {"UTF-16 with mark", File, Utf16Bytes(kSample, true), true, false, kSampleContents},
        {"UTF-16 without mark, opening with [", File, Utf16Bytes(kSample, false), true, false, kSampleContents},
        {"UTF-16 without mark, otherwise 8-bit", File, Utf16Bytes(L";\r\n" + kSample, false), true, false, {}},
        {"invalid UTF-8 is not ANSI", File, "[A]\r\nx=caf\xE9", true, false, {{L"A", {{L"x", L"caf\uFFFD"}}}}},
        {"0 bytes", File, "", false, false, {}},
        {"524,288 bytes", File, Sized(kMaxFileBytes), true, false, {{L"A", {{L"last", L"2"}}}}},
        {"524,289 bytes", File, Sized(kMaxFileBytes + 1), false, true, {}},
        {"missing file", NoFile, "", true, false, {}},
        {"missing folder", NoFolder, "", false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        const std::wstring path = scratch / (c.setup == NoFolder ? L"no\\such\\config.ini" : L"config.ini");
        ASSERT_TRUE(c.setup != File || WriteBytes(path, c.bytes));
        IniDocument document(path);
        document.SetValue(L"Stale", L"k", L"v");  // a load starts afresh
        EXPECT_EQ(document.Load(), c.loads);
        EXPECT_EQ(document.loadFailedOnExistingFile, c.protects);
        EXPECT_EQ(ContentsOf(document), c.contents);
        document.SetValue(L"Z", L"k", L"v");
        EXPECT_EQ(document.Save(), !c.protects);
        EXPECT_TRUE(c.protects ? ReadBytes(path) == c.bytes : ReadBytes(path).ends_with("[Z]\r\nk=v"));
        EXPECT_FALSE(FileExists(path + L".tmp"));
    }
}

TEST(IniLoad, LineRulesAndBreaks) {
    const IniContents abc = {{L"S", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}}}};
    const std::pair<std::wstring, IniContents> cases[] = {
        {L"[S]\r\n  k \t= a ; b=c\t ", {{L"S", {{L"k", L"a ; b=c"}}}}},  // outer blanks trimmed, ; and = kept inside
        {L"x=1\r\n[S]\r\n;c=1\r\n \t; d=2\r\nwords\r\n \t\r\n =v\r\nk=", {{L"S", {{L"k", L""}}}}},  // lines ignored
        {L"[S]\r\n#k=v\r\n\u00A0k=v\u00A0", {{L"S", {{L"#k", L"v"}, {L"\u00A0k", L"v\u00A0"}}}}},  // only ; comments
        {L" [ A ]\t\r\n[a]b]\r\nk=v", {{L" A ", {}}, {L"a]b", {{L"k", L"v"}}}}},
        {L"[S]\r\n[]\r\n[abc\r\n[]=x", {{L"S", {{L"[]", L"x"}}}}},
        {L"[UI]\r\nL=a\r\nl=b\r\n[ui]\r\nL=c", {{L"UI", {{L"L", L"a"}, {L"l", L"b"}}}, {L"ui", {{L"L", L"c"}}}}},
        {L"[A]\r\nx=1\r\nj=2\r\n[B]\r\n[A]\r\nx=3", {{L"A", {{L"x", L"3"}, {L"j", L"2"}}}, {L"B", {}}}},
        {L"[S]\na=1\nb=2\nc=3\n", abc},
        {L"[S]\ra=1\rb=2\rc=3\r", abc},
        {L"[S]\n\ra=1\n\rb=2\n\rc=3", abc},
        {L"[S]\r\r\na=1\r\r\nb=2\r\r\nc=3", abc},
        {L"[S]\r\na=1\nb=2\rc=3", abc},
    };
    for (const auto& [text, expected] : cases) {
        ScratchFolder scratch;
        ASSERT_TRUE(WriteBytes(scratch / L"c.ini", Utf8(text)));
        IniDocument document(scratch / L"c.ini");
        EXPECT_TRUE(document.Load());
        EXPECT_EQ(ContentsOf(document), expected) << testing::PrintToString(Utf8(text));
    }
}

TEST(IniValues, NullArgumentsChangeNothingAndAnEmptyDocumentIsNotSaved) {
    ScratchFolder scratch;
    IniDocument document(scratch / L"config.ini");
    ASSERT_TRUE(WriteBytes(document.path, "; mine"));
    document.SetValue(nullptr, L"k", L"x");
    document.SetValue(L"S", nullptr, L"x");
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(ReadBytes(document.path), "; mine");
    document.SetValue(L"S", L"k", L"v");
    document.SetValue(L"S", L"k", nullptr);
    EXPECT_EQ(ContentsOf(document), (IniContents{{L"S", {{L"k", L"v"}}}}));
    EXPECT_EQ(document.GetValue(nullptr, L"k", L"d") + document.GetValue(L"S", nullptr, L"d"), L"dd");
    EXPECT_EQ(document.GetValue(L"S", L"missing", nullptr), L"");
    EXPECT_FALSE(document.HasKey(nullptr, L"k") || document.HasKey(L"S", nullptr));
}

}  // namespace

// The built-in default configuration, loaded and saved unchanged: comments and blank lines are gone, a
// byte-order mark leads, CR LF joins the lines and none ends the file.
TEST(IniSave, DefaultConfigurationRendersAsElevenLines) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBytes(scratch / L"config.ini", DefaultConfigResource()));
    IniDocument document(scratch / L"config.ini");
    ASSERT_TRUE(document.Load());
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(scratch / L"config.ini"),
              "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\n"
              "BottomRight=Disabled\r\nEdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\nLanguage=\r\n[General]\r\n"
              "RunAtStartup=0");
}
