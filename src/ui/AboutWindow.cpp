#include "ui/AboutWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shellscalingapi.h>

#include <algorithm>
#include <new>
#include <vector>

#include "platform/Platform.h"
#include "storage/Paths.h"

namespace {

constexpr wchar_t kAboutClassName[] = L"Hoverlatch.AboutWindow";
constexpr wchar_t kAboutWindowTitle[] = L"About Hoverlatch";
// Marks the product-name control, whose text is darker than the rest.
constexpr wchar_t kTitleProperty[] = L"Hoverlatch.About.Title";

constexpr int kBaseDpi = 96;          // every size below is in pixels at this DPI
constexpr int kCardWidth = 500;       // client width, px
constexpr int kCardHeight = 200;      // client height, px
constexpr int kScreenMargin = 12;     // gap to the work area's edges, px
constexpr int kIconSize = 64;         // application icon, px
constexpr int kSeparatorY = 94;       // separator line, px from the top
constexpr int kSeparatorLeft = 142;   // px
constexpr int kSeparatorRight = 468;  // px
constexpr int kTooltipMaxWidth = 480; // px, not scaled: the tooltip is the system's
constexpr LONGLONG kDragThresholdSquared = 16;  // a press moved less than 4 px is still a click
constexpr int kApplicationIconId = 101;

constexpr COLORREF kBackgroundColour = RGB(255, 255, 255);
constexpr COLORREF kBorderColour = RGB(218, 218, 218);
constexpr COLORREF kSeparatorColour = RGB(185, 185, 185);
constexpr COLORREF kTitleTextColour = RGB(18, 18, 18);
constexpr COLORREF kBodyTextColour = RGB(96, 96, 108);
// Pixels of exactly this colour are transparent; nothing on the card is drawn in it.
constexpr COLORREF kLayeredColourKey = RGB(255, 0, 255);

struct FontSpec {
    int height;  // cell height, px
    int weight;
    bool italic;
};
constexpr FontSpec kTitleFont{28, 650, false};
constexpr FontSpec kBodyFont{17, 400, false};
constexpr FontSpec kItalicFont{17, 400, true};
constexpr FontSpec kSmallFont{15, 400, false};

struct ControlLayout {
    int x, y, width, height;  // client coordinates, px
};
constexpr ControlLayout kIconLayout{34, 28, 64, 64};
constexpr ControlLayout kTitleLayout{142, 30, 180, 36};
constexpr ControlLayout kVersionLayout{292, 39, 130, 25};
constexpr ControlLayout kDescriptionLayout{142, 62, 326, 28};
constexpr ControlLayout kCopyrightLayout{142, 105, 326, 22};
constexpr ControlLayout kLinkLayout{142, 127, 326, 22};
constexpr ControlLayout kNoteLayout{142, 149, 326, 44};

// Shown when the version resource lacks a key or leaves it empty: the texts the resource is made from.
constexpr wchar_t kFallbackProductName[] = L"" HOVERLATCH_PRODUCT_NAME;
constexpr wchar_t kFallbackProductVersion[] = L"" HOVERLATCH_PRODUCT_VERSION;
constexpr wchar_t kFallbackComments[] = L"" HOVERLATCH_DESCRIPTION;
constexpr wchar_t kFallbackCopyright[] = L"" HOVERLATCH_COPYRIGHT;
constexpr wchar_t kFallbackCreatedBy[] = L"" HOVERLATCH_CREATED_BY;
constexpr wchar_t kFallbackNote[] = L"" HOVERLATCH_NOTE;

struct AboutWindowGlobals {
    HWND window = nullptr;
    bool classRegistered = false;
};
AboutWindowGlobals g_about;

struct VersionTexts {
    std::wstring productName;
    std::wstring productVersion;
    std::wstring comments;
    std::wstring copyright;
    std::wstring createdBy;
    std::wstring note;
};

int Scale(int value, int dpi) { return MulDiv(value, dpi, kBaseDpi); }

HINSTANCE ProgramInstance() { return GetModuleHandleW(nullptr); }

AboutState* StateOf(HWND window) { return reinterpret_cast<AboutState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

int MonitorDpi(HMONITOR monitor) {
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (!monitor || FAILED(g_platform.getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) || dpiX == 0) {
        return kBaseDpi;
    }
    return static_cast<int>(dpiX);
}

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (monitor && g_platform.getMonitorInfoW(monitor, &info)) return info.rcWork;
    // Only a monitor that vanished between the two calls gets here: the primary work area will do.
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    return workArea;
}

bool EnsureAboutClass() {
    if (g_about.classRegistered) return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &AboutWindowProc;
    windowClass.hInstance = ProgramInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kAboutClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    g_about.classRegistered = true;
    return true;
}

std::wstring OrFallback(std::wstring text, const wchar_t* fallback) { return text.empty() ? fallback : text; }

VersionTexts ReadVersionTexts() {
    VersionTexts texts;
    std::wstring path = GetExecutablePath();
    DWORD unused = 0;
    DWORD size = path.empty() ? 0 : g_platform.getFileVersionInfoSizeW(path.c_str(), &unused);
    std::vector<BYTE> block(size);
    if (size > 0 && g_platform.getFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        texts.productName = QueryVersionString(block.data(), L"ProductName");
        texts.productVersion = QueryVersionString(block.data(), L"ProductVersion");
        texts.comments = QueryVersionString(block.data(), L"Comments");
        texts.copyright = QueryVersionString(block.data(), L"LegalCopyright");
        texts.createdBy = QueryVersionString(block.data(), L"CreatedBy");
        texts.note = QueryVersionString(block.data(), L"Note");
    }
    texts.productName = OrFallback(std::move(texts.productName), kFallbackProductName);
    texts.productVersion = OrFallback(std::move(texts.productVersion), kFallbackProductVersion);
    texts.comments = OrFallback(std::move(texts.comments), kFallbackComments);
    texts.copyright = OrFallback(std::move(texts.copyright), kFallbackCopyright);
    texts.createdBy = OrFallback(std::move(texts.createdBy), kFallbackCreatedBy);
    texts.note = OrFallback(std::move(texts.note), kFallbackNote);
    return texts;
}

HWND CreateControl(HWND window, const wchar_t* className, const wchar_t* text, DWORD style,
                   const ControlLayout& layout, int dpi) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, Scale(layout.x, dpi),
                           Scale(layout.y, dpi), Scale(layout.width, dpi), Scale(layout.height, dpi), window, nullptr,
                           ProgramInstance(), nullptr);
}

// Mouse messages over a static text must reach the card, so that a press on the text drags or closes it.
void SubclassStatic(HWND control) {
    LONG_PTR previous = SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TransparentStaticProc));
    SetWindowLongPtrW(control, GWLP_USERDATA, previous);
}

// A static text control with its font, subclassed; null when it could not be created.
HWND CreateText(HWND window, const std::wstring& text, const ControlLayout& layout, HFONT font, int dpi) {
    HWND control = CreateControl(window, L"STATIC", text.c_str(), 0, layout, dpi);
    if (!control) return nullptr;
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SubclassStatic(control);
    return control;
}

void CreateCardResources(AboutState& state) {
    state.backgroundBrush.reset(CreateSolidBrush(kBackgroundColour));
    state.borderPen.reset(CreatePen(PS_SOLID, 1, kBorderColour));
    state.separatorPen.reset(CreatePen(PS_SOLID, 1, kSeparatorColour));
    auto font = [&](const FontSpec& spec) { return CreateUiFont(Scale(spec.height, state.dpi), spec.weight, spec.italic); };
    state.titleFont.reset(font(kTitleFont));
    state.bodyFont.reset(font(kBodyFont));
    state.italicFont.reset(font(kItalicFont));
    state.smallFont.reset(font(kSmallFont));
    int iconSize = Scale(kIconSize, state.dpi);
    state.icon.reset(static_cast<HICON>(LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(kApplicationIconId), IMAGE_ICON,
                                                   iconSize, iconSize, LR_DEFAULTCOLOR)));
}

void CreateLinkTooltip(HWND window, AboutState& state) {
    state.tooltip.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                        ProgramInstance(), nullptr));
    if (!state.tooltip) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(state.link);
    tool.lpszText = const_cast<wchar_t*>(AUTHOR_PAGE_URL);
    SendMessageW(state.tooltip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(state.tooltip.get(), TTM_SETMAXTIPWIDTH, 0, kTooltipMaxWidth);
}

// The controls in their fixed order: icon, title, version, description, copyright, link, note.
void CreateCardControls(HWND window, AboutState& state) {
    const int dpi = state.dpi;
    HWND iconControl = CreateControl(window, L"STATIC", nullptr, SS_ICON, kIconLayout, dpi);
    if (iconControl) {
        if (state.icon) SendMessageW(iconControl, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(state.icon.get()));
        SubclassStatic(iconControl);
    }

    VersionTexts texts = ReadVersionTexts();
    HWND title = CreateText(window, texts.productName, kTitleLayout, state.titleFont.get(), dpi);
    if (title) SetPropW(title, kTitleProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    CreateText(window, L"Version " + texts.productVersion, kVersionLayout, state.bodyFont.get(), dpi);
    CreateText(window, texts.comments, kDescriptionLayout, state.italicFont.get(), dpi);
    CreateText(window, texts.copyright, kCopyrightLayout, state.smallFont.get(), dpi);

    std::wstring markup = BuildAuthorLinkMarkup(texts.createdBy);
    state.link = CreateControl(window, WC_LINK, markup.c_str(), WS_TABSTOP, kLinkLayout, dpi);
    if (state.link) {
        if (state.smallFont) SendMessageW(state.link, WM_SETFONT, reinterpret_cast<WPARAM>(state.smallFont.get()), TRUE);
        CreateLinkTooltip(window, state);
    }

    CreateText(window, texts.note, kNoteLayout, state.smallFont.get(), dpi);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW* create) {
    int dpi = MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    // The pointer's monitor, as measured by ShowAboutWindow, wins over the monitor the window starts on.
    if (create && create->lpCreateParams) dpi = *static_cast<const int*>(create->lpCreateParams);

    auto* state = new (std::nothrow) AboutState;
    if (!state) return 0;  // an empty card that still paints its border and closes normally
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    state->dpi = dpi;

    CreateCardResources(*state);
    SetLayeredWindowAttributes(window, kLayeredColourKey, 0, LWA_COLORKEY);
    CreateCardControls(window, *state);
    return 0;
}

// A pen of the record, or one made for this paint into `temporary`.
HPEN PenOr(const UniquePen* owned, UniquePen& temporary, COLORREF colour) {
    if (owned && *owned) return owned->get();
    temporary.reset(CreatePen(PS_SOLID, 1, colour));
    return temporary.get();
}

LRESULT OnPaint(HWND window) {
    const AboutState* state = StateOf(window);
    const int dpi = state ? state->dpi : kBaseDpi;
    // Declared before the DC is saved, so they are deleted only after RestoreDC has deselected them.
    UniquePen temporaryBorder;
    UniquePen temporarySeparator;
    HPEN border = PenOr(state ? &state->borderPen : nullptr, temporaryBorder, kBorderColour);
    HPEN separator = PenOr(state ? &state->separatorPen : nullptr, temporarySeparator, kSeparatorColour);

    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return 0;
    RECT client{};
    GetClientRect(window, &client);
    int saved = SaveDC(dc);
    if (border) {
        SelectObject(dc, border);
        HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, client.left, client.top, client.right, client.bottom);
        SelectObject(dc, previousBrush);
    }
    if (separator) {
        SelectObject(dc, separator);
        MoveToEx(dc, Scale(kSeparatorLeft, dpi), Scale(kSeparatorY, dpi), nullptr);
        LineTo(dc, Scale(kSeparatorRight, dpi), Scale(kSeparatorY, dpi));
    }
    RestoreDC(dc, saved);
    EndPaint(window, &paint);
    return 0;
}

HBRUSH BackgroundBrushOf(const AboutState* state) {
    if (state && state->backgroundBrush) return state->backgroundBrush.get();
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

LRESULT OnEraseBackground(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, BackgroundBrushOf(StateOf(window)));
    return 1;
}

LRESULT OnStaticColour(HWND window, HDC dc, HWND control) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetPropW(control, kTitleProperty) ? kTitleTextColour : kBodyTextColour);
    const AboutState* state = StateOf(window);
    // Some SysLink implementations (Wine's) delete the brush they are handed after every paint. The
    // link gets the stock white brush, which cannot be deleted, so the card's own brush stays valid
    // and is deleted exactly once, by its owner.
    if (state && control == state->link) return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    return reinterpret_cast<LRESULT>(BackgroundBrushOf(state));
}

LRESULT OnNotify(HWND window, WPARAM wParam, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    AboutState* state = StateOf(window);
    if (!header || !state || !state->link || header->hwndFrom != state->link ||
        (header->code != NM_CLICK && header->code != NM_RETURN)) {
        return DefWindowProcW(window, WM_NOTIFY, wParam, lParam);
    }
    const auto* link = reinterpret_cast<const NMLINK*>(lParam);
    // Bounded read: the address field is a fixed array that need not hold a terminator.
    std::wstring address(link->item.szUrl, wcsnlen(link->item.szUrl, L_MAX_URL_LENGTH));
    if (address.empty()) address = AUTHOR_PAGE_URL;
    g_platform.shellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);  // failure ignored
    state->linkClicked = true;
    return 0;
}

LRESULT OnLeftButtonDown(HWND window) {
    AboutState* state = StateOf(window);
    if (!state) return 0;
    state->pressed = true;
    state->dragging = false;
    state->linkClicked = false;
    g_platform.getCursorPos(&state->pressPoint);
    GetWindowRect(window, &state->pressRect);
    SetCapture(window);
    return 0;
}

LRESULT OnMouseMove(HWND window, WPARAM keys) {
    AboutState* state = StateOf(window);
    if (!state || !state->pressed || !(keys & MK_LBUTTON)) return 0;
    POINT now = state->pressPoint;
    g_platform.getCursorPos(&now);
    const LONGLONG dx = now.x - state->pressPoint.x;
    const LONGLONG dy = now.y - state->pressPoint.y;
    if (!state->dragging) {
        if (dx * dx + dy * dy < kDragThresholdSquared) return 0;
        state->dragging = true;
    }
    SetWindowPos(window, nullptr, state->pressRect.left + static_cast<int>(dx), state->pressRect.top + static_cast<int>(dy),
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

void ReleaseCaptureIfHeld(HWND window) {
    if (GetCapture() == window) ReleaseCapture();
}

LRESULT OnLeftButtonUp(HWND window) {
    AboutState* state = StateOf(window);
    if (!state) return 0;
    if (state->linkClicked) {
        // The press opened the author page: the card stays.
        state->dragging = false;
        state->linkClicked = false;
        state->pressed = false;
        ReleaseCaptureIfHeld(window);
        return 0;
    }
    if (!state->pressed) return 0;
    const bool dragged = state->dragging;
    state->pressed = false;
    state->dragging = false;
    ReleaseCaptureIfHeld(window);
    if (!dragged) DestroyWindow(window);  // a plain click closes the card
    return 0;
}

LRESULT OnCaptureChanged(HWND window, HWND gaining) {
    AboutState* state = StateOf(window);
    if (state && gaining != window) {
        state->pressed = false;
        state->dragging = false;
    }
    return 0;
}

LRESULT CloseCard(HWND window) {
    DestroyWindow(window);
    return 0;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam) {
    if (key == VK_ESCAPE || key == VK_RETURN) return CloseCard(window);
    return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
}

LRESULT OnDestroy(HWND window) {
    AboutState* state = StateOf(window);
    if (state) {
        state->titleFont.reset();
        state->bodyFont.reset();
        state->italicFont.reset();
        state->smallFont.reset();
        state->icon.reset();
        state->borderPen.reset();
        state->separatorPen.reset();
        state->backgroundBrush.reset();
        // An owned window is destroyed before its owner hears WM_DESTROY; only a live one is destroyed here.
        if (state->tooltip && !IsWindow(state->tooltip.get())) state->tooltip.release();
        state->tooltip.reset();
        delete state;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    if (g_about.window == window) g_about.window = nullptr;
    return 0;
}

}  // namespace

RECT PlaceAboutWindow(POINT pointer, const RECT& workArea, int dpi) {
    RECT frame{0, 0, Scale(kCardWidth, dpi), Scale(kCardHeight, dpi)};
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, WS_EX_TOOLWINDOW);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int margin = Scale(kScreenMargin, dpi);
    int x = pointer.x - width / 2;
    x = std::min(x, static_cast<int>(workArea.right) - margin - width);
    x = std::max(x, static_cast<int>(workArea.left) + margin);  // applied last: the left limit wins
    const int y = workArea.bottom - margin - height;
    return RECT{x, y, x + width, y + height};
}

void ShowAboutWindow(HWND owner) {
    if (g_about.window && IsWindow(g_about.window)) {
        ShowWindow(g_about.window, SW_SHOWNORMAL);
        SetForegroundWindow(g_about.window);
        return;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LINK_CLASS | ICC_STANDARD_CLASSES;
    g_platform.initCommonControlsEx(&controls);
    if (!EnsureAboutClass()) return;

    POINT pointer{};
    g_platform.getCursorPos(&pointer);
    HMONITOR monitor = g_platform.monitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST);
    int dpi = MonitorDpi(monitor);
    RECT placement = PlaceAboutWindow(pointer, WorkAreaOf(monitor), dpi);

    // Read by WM_CREATE, which runs inside CreateWindowExW, so a local outlives its use.
    g_about.window = CreateWindowExW(WS_EX_TOOLWINDOW, kAboutClassName, kAboutWindowTitle, WS_POPUP, placement.left,
                                     placement.top, placement.right - placement.left, placement.bottom - placement.top,
                                     owner, nullptr, ProgramInstance(), &dpi);
    if (!g_about.window) return;
    ShowWindow(g_about.window, SW_SHOWNORMAL);
    UpdateWindow(g_about.window);
    SetForegroundWindow(g_about.window);
}

LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:           return OnCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_PAINT:            return OnPaint(window);
    case WM_ERASEBKGND:       return OnEraseBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:   return OnStaticColour(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:           return OnNotify(window, wParam, lParam);
    case WM_LBUTTONDOWN:      return OnLeftButtonDown(window);
    case WM_MOUSEMOVE:        return OnMouseMove(window, wParam);
    case WM_LBUTTONUP:        return OnLeftButtonUp(window);
    case WM_CAPTURECHANGED:   return OnCaptureChanged(window, reinterpret_cast<HWND>(lParam));
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_CLOSE:            return CloseCard(window);
    case WM_KEYDOWN:          return OnKeyDown(window, wParam, lParam);
    case WM_DESTROY:          return OnDestroy(window);
    default:                  return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK TransparentStaticProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCHITTEST) return HTTRANSPARENT;
    // The title's property name is a global atom: remove it so it does not outlive the control.
    if (message == WM_NCDESTROY) RemovePropW(control, kTitleProperty);
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_USERDATA));
    if (previous) return CallWindowProcW(previous, control, message, wParam, lParam);
    return DefWindowProcW(control, message, wParam, lParam);
}

std::wstring QueryVersionString(const void* versionBlock, const wchar_t* key) {
    if (!versionBlock || !key) return {};
    void* translation = nullptr;
    UINT length = 0;
    if (!g_platform.verQueryValueW(versionBlock, L"\\VarFileInfo\\Translation", &translation, &length) || !translation || length < 4) {
        return {};
    }
    const auto* languageAndCodePage = static_cast<const WORD*>(translation);
    wchar_t prefix[32] = {};
    swprintf(prefix, 32, L"\\StringFileInfo\\%04x%04x\\", languageAndCodePage[0], languageAndCodePage[1]);
    constexpr size_t kMaxPathLength = 95;  // characters, in a 96-character buffer with its terminator
    std::wstring path = std::wstring(prefix) + key;
    if (path.size() > kMaxPathLength) path.resize(kMaxPathLength);
    void* value = nullptr;
    if (!g_platform.verQueryValueW(versionBlock, path.c_str(), &value, &length) || !value || length <= 1) return {};
    const auto* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, wcsnlen(text, length));
}

std::wstring BuildAuthorLinkMarkup(const std::wstring& text) {
    const std::wstring name = kAuthorDisplayName;
    if (text.size() < name.size()) return text;
    const size_t at = text.find(name);
    if (at == std::wstring::npos) return text;
    return text.substr(0, at) + L"<a href=\"" + AUTHOR_PAGE_URL + L"\">" + name + L"</a>" + text.substr(at + name.size());
}

HFONT CreateUiFont(int height, int weight, bool italic) {
    return CreateFontW(height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Segoe UI");
}

HWND CurrentAboutWindow() { return g_about.window; }

const AboutState* AboutStateOf(HWND window) {
    wchar_t className[64] = {};
    if (!window || !GetClassNameW(window, className, 64) || lstrcmpW(className, kAboutClassName) != 0) return nullptr;
    return StateOf(window);
}
