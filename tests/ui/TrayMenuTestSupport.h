#pragma once
// Helpers shared by the tray menu tests: reading a real menu back through GetMenuItemInfoW, and a
// scratch roaming application-data folder that every path of the program resolves to.
#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "support/TestSupport.h"

struct MenuItemView {
    UINT type = 0;   // MFT_* bits
    UINT state = 0;  // MFS_* bits
    UINT id = 0;
    std::wstring text;
    HMENU submenu = nullptr;

    bool IsSeparator() const { return (type & MFT_SEPARATOR) != 0; }
    bool IsRadioMarked() const { return (type & MFT_RADIOCHECK) && (state & MFS_CHECKED); }
    bool IsChecked() const { return (state & MFS_CHECKED) != 0; }
};

inline std::vector<MenuItemView> ReadMenuItems(HMENU menu) {
    std::vector<MenuItemView> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = static_cast<UINT>(std::size(text));
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
            items.push_back({});
            continue;
        }
        items.push_back({info.fType, info.fState, info.wID, text, info.hSubMenu});
    }
    return items;
}

// One line per item, submenus indented below their entry:
//   "[disabled] Hot corners #0", "> Top left (Task View)", "  (*) Task View #1100", "---",
//   "[x] Run at Windows startup #1003". "(*)" is a radio mark, "[x]" a plain check mark.
inline void AppendMenuLines(HMENU menu, const std::wstring& indent, std::vector<std::wstring>& lines) {
    for (const MenuItemView& item : ReadMenuItems(menu)) {
        if (item.IsSeparator()) {
            lines.push_back(indent + L"---");
            continue;
        }
        std::wstring line = indent;
        if (item.submenu) {
            lines.push_back(line + L"> " + item.text);
            AppendMenuLines(item.submenu, indent + L"  ", lines);
            continue;
        }
        if (item.state & MF_GRAYED) line += L"[grayed] ";
        if (item.state & MF_DISABLED) line += L"[disabled] ";
        if (item.IsRadioMarked()) line += L"(*) ";
        else if (item.IsChecked()) line += L"[x] ";
        else if (item.type & MFT_RADIOCHECK) line += L"( ) ";
        line += item.text + L" #" + std::to_wstring(item.id);
        lines.push_back(line);
    }
}

inline std::vector<std::wstring> MenuLines(HMENU menu) {
    std::vector<std::wstring> lines;
    AppendMenuLines(menu, L"", lines);
    return lines;
}

// Every non-popup item anywhere in the menu tree, depth first.
inline void CollectLeafItems(HMENU menu, std::vector<MenuItemView>& out) {
    for (const MenuItemView& item : ReadMenuItems(menu)) {
        if (item.submenu) CollectLeafItems(item.submenu, out);
        else if (!item.IsSeparator()) out.push_back(item);
    }
}

inline std::vector<MenuItemView> LeafItems(HMENU menu) {
    std::vector<MenuItemView> out;
    CollectLeafItems(menu, out);
    return out;
}

// Makes the roaming application-data folder (and every other shell folder the program asks for) a
// scratch folder, so config.ini, the companions' files and the capture tool's location file live there.
class ScratchAppData {
public:
    ScratchAppData() {
        Folder() = scratch_.path();
        while (!Folder().empty() && Folder().back() == L'\\') Folder().pop_back();
        g_platform.shGetFolderPathW = &FakeFolderPath;
    }
    ~ScratchAppData() { Folder().clear(); }
    ScratchAppData(const ScratchAppData&) = delete;
    ScratchAppData& operator=(const ScratchAppData&) = delete;

    // Path under the application-data folder, e.g. File(L"quenby\\Hoverlatch\\config.ini").
    std::wstring File(const std::wstring& relative) const { return scratch_ / relative; }
    std::wstring ConfigPath() const { return File(L"quenby\\Hoverlatch\\config.ini"); }

    // Creates the folders of a relative path and writes the file.
    bool Write(const std::wstring& relative, const std::string& bytes) const {
        std::wstring path = File(relative);
        for (size_t at = scratch_.path().size(); at < path.size(); ++at) {
            if (path[at] == L'\\') CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        }
        return WriteBytes(path, bytes);
    }
    bool WriteConfig(const std::string& bytes) const { return Write(L"quenby\\Hoverlatch\\config.ini", bytes); }
    std::string ReadConfig() const { return ReadBytes(ConfigPath()); }

    void InstallLoftmoor() const { Write(L"quenby\\Loftmoor\\config.ini", "[General]\r\n"); }
    void InstallNotchling() const { Write(L"quenby\\Notchling\\config.ini", "[General]\r\n"); }
    // The capture tool's location file in UTF-16 naming an existing file.
    void InstallCaptureTool() const {
        Write(L"Tools\\capture.exe", "MZ");
        Write(L"quenby\\Framwick\\capture-exe.txt", Utf16Bytes(File(L"Tools\\capture.exe") + L"\r\n", true));
    }

private:
    static std::wstring& Folder() {
        static std::wstring folder;
        return folder;
    }
    static HRESULT WINAPI FakeFolderPath(HWND, int, HANDLE, DWORD, LPWSTR path) {
        wcsncpy(path, Folder().c_str(), MAX_PATH - 1);
        path[MAX_PATH - 1] = L'\0';
        return S_OK;
    }

    PlatformGuard platform_;
    ScratchFolder scratch_;
};

// config.ini as the program renders it: UTF-8 byte-order mark, CR LF between lines, none after the last.
inline std::string RenderedIni(const std::vector<std::string>& lines) {
    std::string bytes = "\xEF\xBB\xBF";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) bytes += "\r\n";
        bytes += lines[i];
    }
    return bytes;
}
