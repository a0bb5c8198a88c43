#pragma once
// Shared by the tray menu tests: a real menu read back through GetMenuItemInfoW, and a scratch
// application-data folder that every path of the program resolves to.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

// One line per item, submenus indented below their entry: "[disabled] Hot corners #0",
// "> Top left (Task View)", "  (*) Task View #1100" (radio mark), "[x] Run at Windows startup #1003", "---".
inline std::vector<std::wstring> MenuLines(HMENU menu, const std::wstring& indent = L"") {
    std::vector<std::wstring> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[512] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 512;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;  // a lost item fails the compare
        if (info.fType & MFT_SEPARATOR) {
            lines.push_back(indent + L"---");
        } else if (info.hSubMenu) {
            lines.push_back(indent + L"> " + text);
            const std::vector<std::wstring> below = MenuLines(info.hSubMenu, indent + L"  ");
            lines.insert(lines.end(), below.begin(), below.end());
        } else {
            const wchar_t* mark = (info.fType & MFT_RADIOCHECK) ? L"(*) " : L"[x] ";
            lines.push_back(indent + ((info.fState & MF_GRAYED) ? L"[grayed] " : L"") +
                            ((info.fState & MF_DISABLED) ? L"[disabled] " : L"") +
                            ((info.fState & MFS_CHECKED) ? mark : L"") + text + L" #" + std::to_wstring(info.wID));
        }
    }
    return lines;
}

// Points every shell folder the program asks for at a scratch folder, so config.ini, the companions'
// files and the capture tool's location file live there.
inline std::wstring g_scratchAppData;
struct ScratchAppData {
    ScratchAppData() {
        g_scratchAppData = scratch.path().substr(0, scratch.path().size() - 1);  // no trailing backslash
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR path) -> HRESULT {
            lstrcpynW(path, g_scratchAppData.c_str(), MAX_PATH);
            return S_OK;
        };
    }
    // Creates the folders of a relative path and writes the file.
    bool Write(const std::wstring& relative, const std::string& bytes) const {
        const std::wstring path = scratch / relative;
        SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        return WriteBytes(path, bytes);
    }
    bool WriteConfig(const std::string& bytes) const { return Write(L"quenby\\Hoverlatch\\config.ini", bytes); }
    std::string ReadConfig() const { return ReadBytes(scratch / L"quenby\\Hoverlatch\\config.ini"); }
    void InstallLoftmoor() const { Write(L"quenby\\Loftmoor\\config.ini", "[General]\r\n"); }
    void InstallNotchling() const { Write(L"quenby\\Notchling\\config.ini", "[General]\r\n"); }
    // The capture tool's location file, UTF-16, naming an existing file.
    void InstallCaptureTool() const {
        Write(L"Tools\\capture.exe", "MZ");
        Write(L"quenby\\Framwick\\capture-exe.txt", Utf16Bytes(scratch / L"Tools\\capture.exe\r\n", true));
    }

    PlatformGuard platform;
    ScratchFolder scratch;
};

// config.ini as the program renders it: UTF-8 byte-order mark, CR LF between lines, none after the last.
inline std::string RenderedIni(const std::vector<std::string>& lines) {
    std::string bytes = "\xEF\xBB\xBF";
    for (size_t i = 0; i < lines.size(); ++i) bytes += (i > 0 ? "\r\n" : "") + lines[i];
    return bytes;
}
