// Reading config.ini: encodings, the size limit, missing files and the line rules.
#include <gtest/gtest.h>

#include "IniTestHelpers.h"

namespace {

// Loads over stale contents, then saves a change: only a file that exists but could not be read is kept.
TEST(IniLoad, EncodingsSizesAndMissingFiles) {
    const std::wstring text = L"[UI]\r\nLanguage=\u65E5\u672C \u00E9", dump = L"[UI]Language=\u65E5\u672C \u00E9|";
    // Exactly `size` bytes, the one key on the very last bytes: seen only when the whole file was read.
    const auto sized = [](size_t size) { return "[A]\r\n" + std::string(size - 13, ';') + "\r\nlast=2"; };
    const struct { const char* name; std::string bytes; bool loads, kept; std::wstring dump; } cases[] = {
        {"UTF-8 with mark", "\xEF\xBB\xBF" + Utf8(text), true, false, dump},
        {"UTF-8 without mark", Utf8(text), true, false, dump},
        {"UTF-16 with mark", Utf16Bytes(text, true), true, false, dump},
        {"UTF-16 without mark, opening with [", Utf16Bytes(text, false), true, false, dump},
        {"UTF-16 without mark, otherwise 8-bit", Utf16Bytes(L";\r\n" + text, false), true, false, L""},
        {"invalid UTF-8 is not ANSI", "[A]\r\nx=caf\xE9", true, false, L"[A]x=caf\uFFFD|"},
        {"0 bytes", "", false, false, L""},
        {"524,288 bytes", sized(kMaxFileBytes), true, false, L"[A]last=2|"},
        {"524,289 bytes", sized(kMaxFileBytes + 1), false, true, L""},
        {"missing file", "-", true, false, L""},
        {"missing folder", "/", false, false, L""},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        const std::wstring path = scratch / (c.bytes == "/" ? L"no\\such\\config.ini" : L"config.ini");
        ASSERT_TRUE(c.bytes == "-" || c.bytes == "/" || WriteBytes(path, c.bytes));
        IniDocument document(path);
        document.SetValue(L"Stale", L"k", L"v");
        EXPECT_EQ(document.Load(), c.loads) << c.name;
        EXPECT_EQ(Dump(document), c.dump) << c.name;
        document.SetValue(L"Z", L"k", L"v");
        EXPECT_EQ(document.Save(), !c.kept) << c.name;
        EXPECT_TRUE(c.kept ? ReadBytes(path) == c.bytes : ReadBytes(path).ends_with("[Z]\r\nk=v")) << c.name;
    }
}

TEST(IniLoad, LineRules) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"[S]\r\n  k \t= a ; b=c\t ", L"[S]k=a ; b=c|"},  // outer blanks trimmed, ; and = kept inside
        {L"x=1\r\n[S]\r\n;c=1\r\n \t; d=2\r\nwords\r\n =v\r\n[]\r\n[abc\r\n#k=\u00A0v\u00A0", L"[S]#k=\u00A0v\u00A0|"},
        {L" [ A ]\t\r\n[a]b]\r\nk=v", L"[ A ][a]b]k=v|"},
        {L"[UI]\r\nL=a\r\nl=b\r\n[ui]\r\nL=c", L"[UI]L=a|l=b|[ui]L=c|"},  // names are case-sensitive
        {L"[A]\r\nx=1\r\nj=2\r\n[B]\r\n[A]\r\nx=3", L"[A]x=3|j=2|[B]"},      // a repeated key keeps its place
        {L"[S]\na=1\rb=2\r\nc=3\n\rd=4\r\r\ne=5\n", L"[S]a=1|b=2|c=3|d=4|e=5|"},
    };
    for (const auto& [text, expected] : cases) {
        ScratchFolder scratch;
        ASSERT_TRUE(WriteBytes(scratch / L"c.ini", Utf8(text)));
        IniDocument document(scratch / L"c.ini");
        EXPECT_TRUE(document.Load());
        EXPECT_EQ(Dump(document), expected) << testing::PrintToString(Utf8(text));
    }
}

}  // namespace
