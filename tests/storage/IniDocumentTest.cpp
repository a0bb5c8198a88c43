#include <gtest/gtest.h>

#include "IniTestHelpers.h"
#include "app/Handles.h"

namespace {

constexpr size_t kMaxFileBytes = 524288;  // the largest file Load reads

const std::wstring kSample = L"[Trigger]\r\nTopLeft=Disabled\r\n[UI]\r\nLanguage=\u65E5\u672C \u00E9";
const IniContents kSampleContents = {{L"Trigger", {{L"TopLeft", L"Disabled"}}},
                                     {L"UI", {{L"Language", L"\u65E5\u672C \u00E9"}}}};

// Exactly `size` bytes, the last key on the very last bytes: seen only when the whole file was read.
std::string FileOfSize(size_t size) {
    const std::string head = "[A]\r\nfirst=1\r\n", tail = "\r\nlast=2";
    return head + std::string(size - head.size() - tail.size(), ';') + tail;
}

// Loads the bytes, then saves a change: a save may replace the file only when the load did not protect it.
TEST(IniLoad, EncodingsSizesAndProtection) {
    const struct {
        const char* name;
        std::string bytes;
        bool loads, protects;
        IniContents contents;
    } cases[] = {
        {"UTF-8 with mark", SavedForm(kSample), true, false, kSampleContents},
        {"UTF-8 without mark", Utf8(kSample), true, false, kSampleContents},
        {"UTF-16 with mark", Utf16Bytes(kSample, true), true, false, kSampleContents},
        {"UTF-16 without mark, opening with [", Utf16Bytes(kSample, false), true, false, kSampleContents},
        {"UTF-16 without mark, opening otherwise: 8-bit", Utf16Bytes(L";\r\n" + kSample, false), true, false, {}},
        {"invalid UTF-8 is not ANSI", "[A]\r\nx=caf\xE9", true, false, {{L"A", {{L"x", L"caf\uFFFD"}}}}},
        {"invalid after a mark", "\xEF\xBB\xBF[A]\r\nx=\xC3\xA9\x80", true, false, {{L"A", {{L"x", L"\u00E9\uFFFD"}}}}},
        {"0 bytes", "", false, false, {}},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", false, false, {}},
        {"524,288 bytes", FileOfSize(kMaxFileBytes), true, false, {{L"A", {{L"first", L"1"}, {L"last", L"2"}}}}},
        {"524,289 bytes", FileOfSize(kMaxFileBytes + 1), false, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch;
        const std::wstring path = scratch / L"config.ini";
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        IniDocument document(path);
        EXPECT_EQ(document.Load(), c.loads);
        EXPECT_EQ(document.loadFailedOnExistingFile, c.protects);
        EXPECT_EQ(ContentsOf(document), c.contents);
        document.SetValue(L"Z", L"k", L"v");
        EXPECT_EQ(document.Save(), !c.protects);
        if (c.protects) { EXPECT_EQ(ReadBytes(path), c.bytes); }
        EXPECT_FALSE(FileExists(path + L".tmp"));
    }
}

// An existing file that cannot be read is never saved over; where no file is, nothing can be lost.
TEST(IniLoad, LockedFileFolderMissingFileMissingFolder) {
    const std::string userBytes = "[Trigger]\r\nTopLeft=TaskView\r\n";
    for (const std::string what : {"locked", "folder", "missing file", "missing folder"}) {
        SCOPED_TRACE(what);
        ScratchFolder scratch;
        const std::wstring path = scratch / (what == "missing folder" ? L"no\\such\\config.ini" : L"config.ini");
        ASSERT_TRUE(what != "locked" || WriteBytes(path, userBytes));
        ASSERT_TRUE(what != "folder" || CreateDirectoryW(path.c_str(), nullptr));
        UniqueFile lock(what != "locked" ? INVALID_HANDLE_VALUE
                                         : CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0));
        const bool exists = what == "locked" || what == "folder";
        IniDocument document(path);
        document.SetValue(L"Stale", L"k", L"v");
        EXPECT_EQ(document.Load(), what == "missing file");
        EXPECT_TRUE(ContentsOf(document).empty());
        EXPECT_EQ(document.loadFailedOnExistingFile, exists);
        lock.reset();
        document.SetValue(L"A", L"k", L"v");
        EXPECT_EQ(document.Save(), !exists);
        EXPECT_EQ(ReadBytes(path), what == "locked" ? userBytes : what == "folder" ? "" : SavedForm(L"[A]\r\nk=v"));
    }
}

TEST(IniLoad, LineRulesAndBreaks) {
    const IniContents abc = {{L"S", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}}}};
    const std::pair<std::wstring, IniContents> cases[] = {
        {L"[T]\r\n  Top\t=\tOff  ", {{L"T", {{L"Top", L"Off"}}}}},
        {L"[S]\r\nk = a ; b=c", {{L"S", {{L"k", L"a ; b=c"}}}}},  // inner blanks, ; and = stay in the value
        {L"[S]\r\n =v\r\nk=", {{L"S", {{L"k", L""}}}}},         // empty key ignored, empty value kept
        {L"[S]\r\n;c=1\r\n \t; d=2\r\nwords\r\n \t\r\nk=v", {{L"S", {{L"k", L"v"}}}}},
        {L"[S]\r\n#k=v", {{L"S", {{L"#k", L"v"}}}}},
        {L"[S]\r\n\u00A0k=v\u00A0", {{L"S", {{L"\u00A0k", L"v\u00A0"}}}}},  // only spaces and tabs are blanks
        {L"x=1\r\n[A]\r\ny=2", {{L"A", {{L"y", L"2"}}}}},
        {L" [ A ]\t\r\n[a]b]\r\nk=v", {{L" A ", {}}, {L"a]b", {{L"k", L"v"}}}}},
        {L"[S]\r\n[]\r\n[abc\r\n[]=x", {{L"S", {{L"[]", L"x"}}}}},
        {L"[UI]\r\nL=a\r\nl=b\r\n[ui]\r\nL=c", {{L"UI", {{L"L", L"a"}, {L"l", L"b"}}}, {L"ui", {{L"L", L"c"}}}}},
        {L"[S]\r\nk=1\r\nj=2\r\nk=3", {{L"S", {{L"k", L"3"}, {L"j", L"2"}}}}},
        {L"[A]\r\nx=1\r\n[B]\r\n[A]\r\nx=3\r\nz=4", {{L"A", {{L"x", L"3"}, {L"z", L"4"}}}, {L"B", {}}}},
        {L"[S]\r\na=1\r\nb=2\r\nc=3\r\n", abc},
        {L"[S]\na=1\nb=2\nc=3\n", abc},
        {L"[S]\ra=1\rb=2\rc=3\r", abc},
        {L"[S]\n\ra=1\n\rb=2\n\rc=3", abc},
        {L"[S]\r\r\na=1\r\r\nb=2\r\r\nc=3", abc},
        {L"[S]\r\na=1\nb=2\rc=3", abc},
    };
    for (const auto& [text, expected] : cases) {
        for (const std::string& bytes : {Utf8(text), Utf16Bytes(text, true)}) {
            ScratchFolder scratch;
            ASSERT_TRUE(WriteBytes(scratch / L"c.ini", bytes));
            IniDocument document(scratch / L"c.ini");
            EXPECT_TRUE(document.Load());
            EXPECT_EQ(ContentsOf(document), expected) << testing::PrintToString(bytes);
        }
    }
}

TEST(IniValues, NullArgumentsGiveTheDefaultOrChangeNothing) {
    IniDocument document(L"unused.ini");
    document.SetValue(L"S", L"k", L"v");
    document.SetValue(nullptr, L"k", L"x");
    document.SetValue(L"S", nullptr, L"x");
    document.SetValue(L"S", L"k", nullptr);
    EXPECT_EQ(ContentsOf(document), (IniContents{{L"S", {{L"k", L"v"}}}}));
    EXPECT_EQ(document.GetValue(nullptr, L"k", L"d") + document.GetValue(L"S", nullptr, L"d"), L"dd");
    EXPECT_EQ(document.GetValue(L"S", L"missing", nullptr), L"");
    EXPECT_FALSE(document.HasKey(nullptr, L"k") || document.HasKey(L"S", nullptr));
}

TEST(IniSave, DefaultConfigurationInOwnFormAndEmptyDocumentLeavingTheFileUntouched) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    const std::string shipped = ResourceBytes(kDefaultConfigResource);
    ASSERT_TRUE(WriteBytes(path, shipped));
    EXPECT_FALSE(IniDocument(path).Save());
    EXPECT_EQ(ReadBytes(path), shipped);
    IniDocument document(path);
    ASSERT_TRUE(document.Load());
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(path), DefaultsSaved("TaskView"));
    EXPECT_FALSE(FileExists(path + L".tmp"));
}

}  // namespace
