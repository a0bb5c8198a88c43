#include "settings/Provisioning.h"

#include <windows.h>

#include <cwchar>

#include "platform/Handles.h"
#include "settings/Settings.h"
#include "storage/IniDocument.h"
#include "storage/Paths.h"

namespace {

constexpr WORD kDefaultConfigResource = 103;  // RCDATA: the commented default configuration, UTF-8
constexpr size_t kNumberCapacity = 16;        // wide characters for a formatted 32-bit integer

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The embedded default, written byte for byte. Success only when every byte reached the file.
bool WriteEmbeddedDefault(const std::wstring& configPath) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(kDefaultConfigResource), RT_RCDATA);
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (!bytes || size == 0) return false;

    UniqueFile file(CreateFileW(configPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
}

// CopyFileW copies the template's attributes too: a read-only template (from read-only media, or
// unpacked by a tool that keeps attributes) would give a read-only file that no later save can replace.
bool CopyTemplate(const std::wstring& templatePath, const std::wstring& configPath) {
    return CopyFileW(templatePath.c_str(), configPath.c_str(), FALSE) &&
           SetFileAttributesW(configPath.c_str(), FILE_ATTRIBUTE_NORMAL);
}

std::wstring Decimal(int value) {
    wchar_t text[kNumberCapacity] = {};
    swprintf(text, kNumberCapacity, L"%d", value);
    return text;
}

}  // namespace

void EnsureConfigFile() {
    const std::wstring appData = GetAppDataDirectory();
    CreateDirectoryChain(appData + L"quenby\\");
    CreateDirectoryChain(appData + L"quenby\\Hoverlatch\\");

    const std::wstring configPath = GetConfigFilePath();
    // Anything by that name, even an empty file or a folder, is the user's: never replaced or examined.
    if (Exists(configPath)) return;

    const std::wstring executableFolder = GetExecutableDirectory();
    const std::wstring defaultTemplate = executableFolder + L"config.default.ini";
    const std::wstring plainTemplate = executableFolder + L"config.ini";
    bool provisioned = false;
    if (Exists(defaultTemplate)) {
        provisioned = CopyTemplate(defaultTemplate, configPath);
    } else if (Exists(plainTemplate)) {
        provisioned = CopyTemplate(plainTemplate, configPath);
    } else {
        provisioned = WriteEmbeddedDefault(configPath);
    }

    if (provisioned && Exists(configPath)) {
        // A freshly installed packaged program does nothing until the user picks an action.
        if (IsPackagedRun()) DisableAllCorners(configPath);
        return;
    }
    // Replaces whatever a failed copy or write left behind.
    WriteBuiltInDefaults(configPath);
}

bool WriteBuiltInDefaults(const std::wstring& configPath) {
    // Not loaded on purpose: a partial file from a failed provisioning step is replaced whole.
    IniDocument document(configPath);
    document.SetValue(L"Trigger", L"TopLeft", CornerActionName(CornerAction::Disabled));
    document.SetValue(L"Trigger", L"TopRight",
                      CornerActionName(IsPackagedRun() ? CornerAction::Disabled : CornerAction::TaskView));
    document.SetValue(L"Trigger", L"BottomLeft", CornerActionName(CornerAction::Disabled));
    document.SetValue(L"Trigger", L"BottomRight", CornerActionName(CornerAction::Disabled));
    document.SetValue(L"Trigger", L"EdgeZonePx", Decimal(kDefaultEdgeZonePx).c_str());
    document.SetValue(L"Trigger", L"CornerDwellMs", Decimal(kDefaultCornerDwellMs).c_str());
    document.SetValue(L"UI", L"Language", L"");
    document.SetValue(L"General", L"RunAtStartup", L"0");
    return document.Save();
}

void DisableAllCorners(const std::wstring& configPath) {
    IniDocument document(configPath);
    // A file we cannot read completely is left as it is rather than rewritten from a partial picture.
    if (!document.Load()) return;
    for (Corner corner : {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight}) {
        document.SetValue(L"Trigger", CornerKeyName(corner), CornerActionName(CornerAction::Disabled));
    }
    document.Save();
}
