#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The layout of RT_GROUP_ICON data: a header and one 14-byte entry per image.
#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;  // 1: icon
    WORD count;
};
struct GroupIconEntry {
    BYTE width;  // 0 means 256
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;  // RT_ICON identifier
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

struct ResourceBytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

ResourceBytes FindBytes(WORD id, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

struct IconGroup {
    WORD id;
    std::vector<int> sizes;
};
const IconGroup kGroups[] = {
    {101, {16, 24, 32, 48, 64, 128, 256}},  // application
    {102, {16, 24, 32, 48}},                // tray
};

std::vector<GroupIconEntry> EntriesOf(const ResourceBytes& group) {
    std::vector<GroupIconEntry> entries;
    if (group.size < sizeof(GroupIconHeader)) return entries;
    GroupIconHeader header;
    memcpy(&header, group.data, sizeof(header));
    for (WORD i = 0; i < header.count; ++i) {
        size_t at = sizeof(header) + i * sizeof(GroupIconEntry);
        if (at + sizeof(GroupIconEntry) > group.size) break;
        GroupIconEntry entry;
        memcpy(&entry, group.data + at, sizeof(entry));
        entries.push_back(entry);
    }
    return entries;
}

int SizeOf(const GroupIconEntry& entry) { return entry.width == 0 ? 256 : entry.width; }

DWORD BigEndian(const BYTE* p) { return (DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | p[3]; }

// The icon drawn at its own size over a solid background, as 0x00RRGGBB pixels, top row first.
std::vector<DWORD> DrawOver(HICON icon, int size, COLORREF background) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + size * size);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    for (DWORD& p : pixels) p &= 0x00FFFFFF;
    return pixels;
}

int Distance(DWORD a, DWORD b) {
    int d = 0;
    for (int shift : {0, 8, 16}) {
        d += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    }
    return d;
}

}  // namespace

TEST(IconResources, GroupDirectoriesListEverySizeInThirtyTwoBitColour) {
    for (const IconGroup& group : kGroups) {
        SCOPED_TRACE("group " + std::to_string(group.id));
        ResourceBytes bytes = FindBytes(group.id, RT_GROUP_ICON);
        ASSERT_NE(bytes.data, nullptr);
        GroupIconHeader header;
        memcpy(&header, bytes.data, sizeof(header));
        EXPECT_EQ(header.reserved, 0);
        EXPECT_EQ(header.type, 1);
        std::vector<GroupIconEntry> entries = EntriesOf(bytes);
        ASSERT_EQ(entries.size(), group.sizes.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const GroupIconEntry& entry = entries[i];
            SCOPED_TRACE("size " + std::to_string(SizeOf(entry)));
            EXPECT_EQ(SizeOf(entry), group.sizes[i]);
            EXPECT_EQ(entry.width, entry.height);
            EXPECT_EQ(entry.planes, 1);
            EXPECT_EQ(entry.bitCount, 32);

            // The image itself says the same: a 32-bit DIB, or an RGBA PNG for the largest size.
            ResourceBytes image = FindBytes(entry.id, RT_ICON);
            ASSERT_NE(image.data, nullptr);
            EXPECT_EQ(image.size, entry.bytesInResource);
            ASSERT_GE(image.size, 40u);
            if (memcmp(image.data, "\x89PNG\r\n\x1a\n", 8) == 0) {
                EXPECT_EQ(BigEndian(image.data + 16), static_cast<DWORD>(group.sizes[i]));
                EXPECT_EQ(BigEndian(image.data + 20), static_cast<DWORD>(group.sizes[i]));
                EXPECT_EQ(image.data[24], 8);  // bits per sample
                EXPECT_EQ(image.data[25], 6);  // colour type: RGB with alpha
            } else {
                BITMAPINFOHEADER dib;
                memcpy(&dib, image.data, sizeof(dib));
                EXPECT_EQ(dib.biWidth, group.sizes[i]);
                EXPECT_EQ(dib.biHeight, 2 * group.sizes[i]);  // colour and mask halves
                EXPECT_EQ(dib.biBitCount, 32);
            }
        }
    }
}

TEST(IconResources, EachSizeIsFoundAndLoadedAtExactlyThatSizeWithTransparentCorners) {
    for (const IconGroup& group : kGroups) {
        ResourceBytes bytes = FindBytes(group.id, RT_GROUP_ICON);
        ASSERT_NE(bytes.data, nullptr);
        std::vector<GroupIconEntry> entries = EntriesOf(bytes);
        ASSERT_EQ(entries.size(), group.sizes.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const int size = group.sizes[i];
            SCOPED_TRACE("group " + std::to_string(group.id) + " size " + std::to_string(size));
            int chosen = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(bytes.data), TRUE, size, size, LR_DEFAULTCOLOR);
            EXPECT_EQ(chosen, entries[i].id);

            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(group.id),
                                                       IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            ASSERT_NE(icon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            ASSERT_NE(info.hbmColor, nullptr);
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);

            // Rounded corners let the background through and the middle covers it: the alpha is used.
            std::vector<DWORD> overBlack = DrawOver(icon, size, RGB(0, 0, 0));
            std::vector<DWORD> overWhite = DrawOver(icon, size, RGB(255, 255, 255));
            const size_t corner = 0;
            const size_t middle = static_cast<size_t>(size / 2) * size + size / 2;
            EXPECT_GT(Distance(overBlack[corner], overWhite[corner]), 300);
            EXPECT_EQ(overBlack[middle], overWhite[middle]);
            DestroyIcon(icon);
        }
    }
}

// The shell and the tray also ask for sizes the groups do not hold; the nearest image is scaled.
TEST(IconResources, DefaultAndOddSizesStillLoad) {
    for (WORD id : {101, 102}) {
        for (int size : {0, 20, 40, 96}) {
            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                       size, size, size == 0 ? LR_DEFAULTSIZE : LR_DEFAULTCOLOR));
            EXPECT_NE(icon, nullptr) << id << " at " << size;
            if (icon) DestroyIcon(icon);
        }
    }
}
