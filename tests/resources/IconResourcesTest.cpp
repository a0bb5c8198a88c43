#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// One image's entry in RT_GROUP_ICON data, after the 6-byte header; width 0 means 256.
#pragma pack(push, 2)
struct GroupIconEntry { BYTE width, height, colourCount, reserved; WORD planes, bitCount; DWORD bytes; WORD id; };
#pragma pack(pop)

}  // namespace

TEST(IconResources, GroupsHoldEverySizeInThirtyTwoBitColourAndLoadAtIt) {
    struct Group { WORD id; std::vector<int> sizes; };
    const Group groups[] = {{101, {16, 24, 32, 48, 64, 128, 256}}, {102, {16, 24, 32, 48}}};  // application, tray
    for (const Group& group : groups) {
        HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(group.id), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr) << group.id;
        auto* directory = static_cast<BYTE*>(LockResource(LoadResource(nullptr, found)));
        WORD count = 0;
        memcpy(&count, directory + 4, sizeof(count));
        ASSERT_EQ(count, group.sizes.size()) << group.id;
        for (WORD i = 0; i < count; ++i) {
            const int size = group.sizes[i];
            SCOPED_TRACE(testing::Message() << "group " << group.id << " size " << size);
            GroupIconEntry entry;
            memcpy(&entry, directory + 6 + i * sizeof(entry), sizeof(entry));
            EXPECT_EQ(entry.width == 0 ? 256 : entry.width, size);
            EXPECT_EQ(entry.bitCount, 32);
            EXPECT_EQ(LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR), entry.id);

            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(group.id),
                                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(colour.bmWidth, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}
