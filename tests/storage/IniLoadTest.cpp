#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "IniTestHelpers.h"
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

namespace {

constexpr size_t kMaxFileBytes = 524288;  // the largest file Load reads

struct LoadOutcome {
    bool result;
    bool protectsFile;
    IniContents contents;
};

// Writes the bytes to a fresh file and loads it with a new document.
LoadOutcome LoadFileBytes(const std::string& bytes) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    EXPECT_TRUE(WriteBytes(path, bytes));
    IniDocument document(path);
    const bool result = document.Load();
    EXPECT_TRUE(ModelIsConsistent(document));
    return {result, document.loadFailedOnExistingFile, ContentsOf(document)};
}

std::string Utf8Marked(const std::wstring& text) { return "\xEF\xBB\xBF" + Utf8(text); }

const std::wstring kSample = L"; Comment\r\n[Trigger]\r\nTopLeft=Disabled\r\n[UI]\r\nLanguage=\u65E5\u672C\u8A9E \u00E9";
const IniContents kSampleContents = {
    {L"Trigger", {{L"TopLeft", L"Disabled"}}},
    {L"UI", {{L"Language", L"\u65E5\u672C\u8A9E \u00E9"}}},
};

TEST(IniLoad, EveryMarkedOrRecognisedEncodingGivesTheSameDocument) {
    const std::wstring startsWithHeader = kSample.substr(kSample.find(L'['));
    const IniContents expected = kSampleContents;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-8 with mark", Utf8Marked(kSample)},
        {"UTF-8 without mark", Utf8(kSample)},
        {"UTF-16 LE with mark", Utf16Bytes(kSample, true)},
        {"UTF-16 LE with mark and an odd last byte", Utf16Bytes(kSample, true) + "x"},
        {"UTF-16 LE without mark, opening with [", Utf16Bytes(startsWithHeader, false)},
        {"UTF-16 LE without mark and an odd last byte", Utf16Bytes(startsWithHeader, false) + "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadOutcome outcome = LoadFileBytes(c.bytes);
        EXPECT_TRUE(outcome.result);
        EXPECT_FALSE(outcome.protectsFile);
        EXPECT_EQ(outcome.contents, expected);
    }
}

TEST(IniLoad, UnmarkedUtf16OpeningWithACommentIsReadAsEightBitTextAndYieldsNothing) {
    // Every later line then starts with a zero character, so no header is ever recognised.
    LoadOutcome outcome = LoadFileBytes(Utf16Bytes(kSample, false));
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.contents.empty());
}

TEST(IniLoad, UnmarkedUtf16NeedsAtLeastFourBytes) {
    // Three bytes "[", 0, "]" are 8-bit text: a header naming a section of one zero character.
    LoadOutcome outcome = LoadFileBytes(std::string("[\0]", 3));
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.contents, (IniContents{{std::wstring(1, L'\0'), {}}}));
}

TEST(IniLoad, BigEndianUtf16IsNotRecognised) {
    std::string bytes = "\xFE\xFF";
    for (wchar_t c : std::wstring(L"[A]\r\nx=1")) {
        bytes += static_cast<char>(c >> 8);
        bytes += static_cast<char>(c & 0xFF);
    }
    LoadOutcome outcome = LoadFileBytes(bytes);
    EXPECT_TRUE(outcome.result);
    EXPECT_TRUE(outcome.contents.empty());
}

TEST(IniLoad, InvalidUtf8IsDecodedWithReplacementCharactersNotAsAnsi) {
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring value;
    };
    // Each invalid byte ends the file: Wine's decoder swallows a byte that follows an incomplete
    // sequence, where Windows keeps it.
    const Case cases[] = {
        // "café" in Windows-1252: E9 starts a three-byte sequence that never completes.
        {"ANSI accent", "[A]\r\nx=caf\xE9", L"caf\uFFFD"},
        {"ANSI accent after a mark", "\xEF\xBB\xBF[A]\r\nx=caf\xE9", L"caf\uFFFD"},
        {"stray continuation byte beside valid UTF-8", "[A]\r\nx=\xC3\xA9\x80", L"\u00E9\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadOutcome outcome = LoadFileBytes(c.bytes);
        EXPECT_TRUE(outcome.result);
        EXPECT_EQ(outcome.contents, (IniContents{{L"A", {{L"x", c.value}}}}));
    }
}

// Such a file holds nothing a save could destroy, so it is not protected: a later save may replace it.
TEST(IniLoad, FilesThatDecodeToNothingFailButHoldNothingToProtect) {
    const std::string cases[] = {
        std::string(),                   // 0 bytes
        std::string("\xEF\xBB\xBF"),     // UTF-8 mark alone
        std::string("\xFF\xFE"),         // UTF-16 mark alone
        std::string("\xFF\xFE" "A"),     // UTF-16 mark and half a code unit
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.size());
        LoadOutcome outcome = LoadFileBytes(bytes);
        EXPECT_FALSE(outcome.result);
        EXPECT_FALSE(outcome.protectsFile);
        EXPECT_TRUE(outcome.contents.empty());
    }
}

// Exactly `size` bytes: a section header, filler comment lines, and a last key on the very last bytes,
// so the last key is only seen when the whole file was read.
std::string FileOfSize(size_t size) {
    const std::string head = "[A]\r\nfirst=1\r\n";
    const std::string tail = "\r\nlast=2";
    std::string bytes = head + std::string(size - head.size() - tail.size(), ';') + tail;
    return bytes;
}

TEST(IniLoad, SizeLimitIsFiveHundredTwelveKibInclusive) {
    LoadOutcome atLimit = LoadFileBytes(FileOfSize(kMaxFileBytes));
    EXPECT_TRUE(atLimit.result);
    EXPECT_EQ(atLimit.contents, (IniContents{{L"A", {{L"first", L"1"}, {L"last", L"2"}}}}));

    LoadOutcome overLimit = LoadFileBytes(FileOfSize(kMaxFileBytes + 1));
    EXPECT_FALSE(overLimit.result);
    EXPECT_TRUE(overLimit.protectsFile);
    EXPECT_TRUE(overLimit.contents.empty());
}

TEST(IniLoad, MissingFileIsAnEmptyDocumentMissingFolderIsAFailureWithNothingToProtect) {
    ScratchFolder scratch;
    IniDocument missingFile(scratch / L"absent.ini");
    missingFile.SetValue(L"Stale", L"k", L"v");
    EXPECT_TRUE(missingFile.Load());
    EXPECT_TRUE(missingFile.sectionOrder.empty());
    EXPECT_TRUE(missingFile.sections.empty());
    EXPECT_FALSE(missingFile.loadFailedOnExistingFile);

    const std::wstring inMissingFolder = scratch / L"no\\such\\folder\\config.ini";
    IniDocument missingFolder(inMissingFolder);
    missingFolder.SetValue(L"Stale", L"k", L"v");
    EXPECT_FALSE(missingFolder.Load());
    EXPECT_TRUE(missingFolder.sectionOrder.empty());
    EXPECT_TRUE(missingFolder.keyOrder.empty());
    // No file can be lost there, so a later save may create the folder and the file.
    EXPECT_FALSE(missingFolder.loadFailedOnExistingFile);
    missingFolder.SetValue(L"A", L"k", L"v");
    EXPECT_TRUE(missingFolder.Save());
    EXPECT_EQ(ReadBytes(inMissingFolder), SavedForm(L"[A]\r\nk=v"));
}

TEST(IniLoad, ASuccessfulLoadClearsAnEarlierFailure) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, FileOfSize(kMaxFileBytes + 1)));
    IniDocument document(path);
    EXPECT_FALSE(document.Load());
    EXPECT_TRUE(document.loadFailedOnExistingFile);
    ASSERT_TRUE(WriteBytes(path, "[A]\r\nk=v"));
    EXPECT_TRUE(document.Load());
    EXPECT_FALSE(document.loadFailedOnExistingFile);
    EXPECT_EQ(ContentsOf(document), (IniContents{{L"A", {{L"k", L"v"}}}}));
}

// A document that could not read an existing file must never be saved over it.
TEST(IniLoad, FailedLoadOfAnExistingFileRefusesToSaveOverIt) {
    ScratchFolder scratch;
    const std::string userBytes = "[Trigger]\r\nTopLeft=TaskView\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool lockExclusively;
    };
    const Case cases[] = {
        {"held open without sharing", userBytes, true},
        {"larger than the limit", FileOfSize(kMaxFileBytes + 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = scratch / L"config.ini";
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (c.lockExclusively) {
            lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        }
        IniDocument document(path);
        EXPECT_FALSE(document.Load());
        EXPECT_TRUE(document.loadFailedOnExistingFile);
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);

        document.SetValue(L"Trigger", L"TopRight", L"Disabled");
        EXPECT_FALSE(document.Save());
        EXPECT_EQ(ReadBytes(path), c.bytes);
        EXPECT_FALSE(FileExists(path + L".tmp"));
    }
}

TEST(IniLoad, FolderInPlaceOfTheFileFailsAndIsLeftAlone) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    IniDocument document(path);
    EXPECT_FALSE(document.Load());
    EXPECT_TRUE(document.loadFailedOnExistingFile);
    document.SetValue(L"A", L"k", L"v");
    EXPECT_FALSE(document.Save());
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

struct LineCase {
    const char* name;
    std::wstring text;
    IniContents expected;
};

TEST(IniLoad, LineRules) {
    const LineCase cases[] = {
        {"blanks around key, equals sign and value", L"[Trigger]\r\n  TopLeft\t=\tDisabled  ",
         {{L"Trigger", {{L"TopLeft", L"Disabled"}}}}},
        {"inner blanks and a semicolon stay in the value", L"[S]\r\nKey = a ; note", {{L"S", {{L"Key", L"a ; note"}}}}},
        {"further equals signs belong to the value", L"[S]\r\nKey=a=b", {{L"S", {{L"Key", L"a=b"}}}}},
        {"empty key is ignored", L"[S]\r\n=v\r\n \t= v", {{L"S", {}}}},
        {"empty value is kept", L"[UI]\r\nLanguage=", {{L"UI", {{L"Language", L""}}}}},
        {"comments with and without leading blanks", L"[S]\r\n;c=1\r\n  ;d=2\r\n\t; e", {{L"S", {}}}},
        {"number sign is an ordinary character", L"[S]\r\n#comment\r\n#k=v", {{L"S", {{L"#k", L"v"}}}}},
        {"line without equals sign is ignored", L"[S]\r\njust words\r\nk=v", {{L"S", {{L"k", L"v"}}}}},
        {"blank-only lines are ignored", L"[S]\r\n \t \r\nk=v\r\n\t", {{L"S", {{L"k", L"v"}}}}},
        {"only spaces and tabs are blanks", L"[S]\r\n\u00A0k=v\u00A0\r\n\uFEFFj=w",
         {{L"S", {{L"\u00A0k", L"v\u00A0"}, {L"\uFEFFj", L"w"}}}}},
        {"key lines before the first header are dropped", L"x=1\r\n[A]\r\ny=2", {{L"A", {{L"y", L"2"}}}}},
        {"header with blanks around it", L"  [S]\t\r\nk=v", {{L"S", {{L"k", L"v"}}}}},
        {"blanks inside brackets belong to the name", L"[ A ]\r\nk=v", {{L" A ", {{L"k", L"v"}}}}},
        {"inner brackets belong to the name", L"[a]b]\r\nk=v", {{L"a]b", {{L"k", L"v"}}}}},
        {"empty brackets and an unclosed bracket are not headers", L"[S]\r\n[]\r\n[abc\r\nk=v\r\n[]=x",
         {{L"S", {{L"k", L"v"}, {L"[]", L"x"}}}}},
        {"empty brackets before any header open nothing", L"[]\r\nk=v", {}},
        {"header without keys is a section", L"[Empty]\r\n[S]\r\nk=v", {{L"Empty", {}}, {L"S", {{L"k", L"v"}}}}},
        {"sections and keys are case-sensitive", L"[UI]\r\nLanguage=a\r\nlanguage=b\r\n[ui]\r\nLanguage=c",
         {{L"UI", {{L"Language", L"a"}, {L"language", L"b"}}}, {L"ui", {{L"Language", L"c"}}}}},
        {"a repeated key keeps its first position and its last value", L"[S]\r\nk=1\r\nj=2\r\nk=3",
         {{L"S", {{L"k", L"3"}, {L"j", L"2"}}}}},
        {"repeated headers merge at the first position", L"[A]\r\nx=1\r\n[B]\r\ny=2\r\n[A]\r\nx=3\r\nz=4",
         {{L"A", {{L"x", L"3"}, {L"z", L"4"}}}, {L"B", {{L"y", L"2"}}}}},
        {"text with no lines at all", L"\r\n\r\n", {}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadOutcome outcome = LoadFileBytes(Utf8(c.text));
        EXPECT_TRUE(outcome.result);
        EXPECT_EQ(outcome.contents, c.expected);
    }
}

TEST(IniLoad, LineBreakForms) {
    const IniContents threeKeys = {{L"S", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}}}};
    const LineCase cases[] = {
        {"CR LF", L"[S]\r\na=1\r\nb=2\r\nc=3", threeKeys},
        {"LF", L"[S]\na=1\nb=2\nc=3", threeKeys},
        {"CR", L"[S]\ra=1\rb=2\rc=3", threeKeys},
        {"LF CR is two breaks", L"[S]\n\ra=1\n\rb=2\n\rc=3", threeKeys},
        {"mixed", L"[S]\r\na=1\nb=2\rc=3", threeKeys},
        {"final CR LF", L"[S]\r\na=1\r\nb=2\r\nc=3\r\n", threeKeys},
        {"final LF", L"[S]\na=1\nb=2\nc=3\n", threeKeys},
        {"final CR", L"[S]\ra=1\rb=2\rc=3\r", threeKeys},
        {"CR CR LF", L"[S]\r\r\na=1\r\r\nb=2\r\r\nc=3\r\r\n", threeKeys},
        {"no final break, last line a header", L"[S]\r\na=1\r\nb=2\r\nc=3\r\n[T]", {threeKeys[0], {L"T", {}}}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool utf16 : {false, true}) {
            LoadOutcome outcome = LoadFileBytes(utf16 ? Utf16Bytes(c.text, true) : Utf8(c.text));
            EXPECT_TRUE(outcome.result);
            EXPECT_EQ(outcome.contents, c.expected) << (utf16 ? "UTF-16" : "UTF-8");
        }
    }
}

TEST(IniLoad, FileIsNotHeldOpenAndOthersMayWriteWhileWeRead) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, "[A]\r\nk=v"));
    // Another program holding the file open for writing with read sharing does not stop a load.
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    IniDocument document(path);
    EXPECT_TRUE(document.Load());
    CloseHandle(writer);
    // After the load nothing of ours holds the file: it can be deleted at once.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(TrimBlanks, OnlySpacesAndTabsAreRemovedFromBothEnds) {
    struct Case {
        std::wstring text;
        std::wstring trimmed;
    };
    const Case cases[] = {
        {L"", L""},
        {L" \t ", L""},
        {L" \tx y\t ", L"x y"},
        {L"x", L"x"},
        {L"\r x \n", L"\r x \n"},
        {L"\u00A0x\u00A0", L"\u00A0x\u00A0"},
        {L"\uFEFF x", L"\uFEFF x"},
        {L"\v x\f", L"\v x\f"},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimBlanks(c.text), c.trimmed);
}

}  // namespace
