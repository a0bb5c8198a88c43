#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string DefaultConfigBytes() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(103), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    return data ? std::string(data, SizeofResource(nullptr, found)) : std::string();
}

// Lines split at CR LF; `strayBreaks` counts CR or LF bytes that are not part of a CR LF pair.
std::vector<std::string> CrLfLines(const std::string& text, int* strayBreaks, bool* endsWithBreak) {
    std::vector<std::string> lines;
    std::string line;
    *strayBreaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++i;
        } else {
            if (text[i] == '\r' || text[i] == '\n') ++*strayBreaks;
            line += text[i];
        }
    }
    *endsWithBreak = line.empty();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(DefaultConfigResource, Is1163BytesOfUtf8WithoutByteOrderMark) {
    std::string bytes = DefaultConfigBytes();
    ASSERT_EQ(bytes.size(), 1163u);
    EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_NE(bytes.compare(0, 2, "\xFF\xFE"), 0);
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  0),
              0);
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST(DefaultConfigResource, ThirtyOneCrLfLinesWithTheKeyLinesInPlace) {
    int strayBreaks = 0;
    bool endsWithBreak = false;
    std::vector<std::string> lines = CrLfLines(DefaultConfigBytes(), &strayBreaks, &endsWithBreak);
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(strayBreaks, 0);
    EXPECT_TRUE(endsWithBreak);  // the last line ends with CR LF too

    for (int number = 1; number <= 17; ++number) {
        EXPECT_EQ(lines[number - 1].rfind(";", 0), 0u) << "line " << number << " is not a comment";
    }
    const char* const keyLines[] = {
        "[Trigger]",         "TopLeft=Disabled", "TopRight=TaskView", "BottomLeft=Disabled", "BottomRight=Disabled",
        "EdgeZonePx=12",     "CornerDwellMs=350", "",                 "[UI]",                "Language=",
        "",                  "[General]",         "RunAtStartup=0",
    };
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(lines[17 + i], keyLines[i]) << "line " << 18 + i;
    }
    EXPECT_EQ(lines[30].rfind(";", 0), 0u);
    EXPECT_NE(lines[30].find("RunAtStartup"), std::string::npos);
}
