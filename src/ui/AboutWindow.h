#pragma once
#include <windows.h>

#include <string>

#include "HoverlatchVersion.h"  // generated: the program's texts, written once in CMakeLists.txt
#include "platform/Handles.h"

// The author's web page: the link target, the link's tooltip, and the target when a link
// notification carries no address.
constexpr wchar_t AUTHOR_PAGE_URL[] = L"" HOVERLATCH_HOMEPAGE_URL;
// Shown as the link inside the created-by line.
constexpr wchar_t kAuthorDisplayName[] = L"" HOVERLATCH_PUBLISHER;

// One open About card. Everything it creates is owned here and released in WM_DESTROY; the child
// controls other than the tooltip are destroyed with the window.
struct AboutState {
    int dpi = 96;
    UniqueFont titleFont;
    UniqueFont bodyFont;
    UniqueFont italicFont;
    UniqueFont smallFont;
    UniqueIcon icon;
    UniqueBrush backgroundBrush;
    UniquePen borderPen;
    UniquePen separatorPen;
    HWND link = nullptr;  // child control, destroyed with the window
    UniqueWindow tooltip;
    bool pressed = false;
    bool dragging = false;
    bool linkClicked = false;
    POINT pressPoint{};
    RECT pressRect{};
};

void ShowAboutWindow(HWND owner);
LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TransparentStaticProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
std::wstring QueryVersionString(const void* versionBlock, const wchar_t* key);
std::wstring BuildAuthorLinkMarkup(const std::wstring& text);
HFONT CreateUiFont(int height, int weight, bool italic);
// The About window now open, or null.
HWND CurrentAboutWindow();

// Where the card goes: centred under the pointer, at the bottom of the pointer's work area, kept
// 12 px (at 96 DPI) inside it; the left limit wins when the work area is narrower than the card.
RECT PlaceAboutWindow(POINT pointer, const RECT& workArea, int dpi);
// The state record of an About window, or null; for tests that check what it owns.
const AboutState* AboutStateOf(HWND window);
