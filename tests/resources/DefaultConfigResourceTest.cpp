#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(DefaultConfigResource, Is1163BytesOfThirtyOneCrLfLinesWithTheKeyLinesInPlace) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(103), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    const std::string bytes(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                            SizeofResource(nullptr, found));
    ASSERT_EQ(bytes.size(), 1163u);
    EXPECT_NE(bytes.rfind("\xEF\xBB\xBF", 0), 0u);  // no byte order mark
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 31);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 31);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(bytes.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 31u);  // so every CR and LF above belongs to a CR LF pair
    const char* const expected[] = {
        "[Trigger]",     "TopLeft=Disabled",  "TopRight=TaskView", "BottomLeft=Disabled", "BottomRight=Disabled",
        "EdgeZonePx=12", "CornerDwellMs=350", "",                  "[UI]",                "Language=",
        "",              "[General]",         "RunAtStartup=0",
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i < 17 || i == 30) {
            EXPECT_EQ(lines[i].rfind(';', 0), 0u) << "line " << i + 1 << " is not a comment";
        } else {
            EXPECT_EQ(lines[i], expected[i - 17]) << "line " << i + 1;
        }
    }
}
