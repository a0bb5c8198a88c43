#include "startup/StartupShortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/Platform.h"
#include "settings/Settings.h"
#include "startup/StartupTask.h"
#include "startup/UniqueInterface.h"
#include "storage/Paths.h"

namespace {

constexpr wchar_t kShortcutName[] = L"Hoverlatch.lnk";
constexpr wchar_t kShortcutDescription[] = L"Hoverlatch";

// Creates or overwrites the shortcut. COM is entered for this call only, and left only if this call
// entered it (S_OK or S_FALSE): a thread already in the multithreaded apartment hears RPC_E_CHANGED_MODE
// and must stay where it was.
void WriteShortcut(const std::wstring& shortcut) {
    // An unknown path gets no shortcut: one to a cut-off path would start nothing, or something else.
    std::wstring executable = GetExecutablePath();
    if (executable.empty()) return;

    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool initialised = init == S_OK || init == S_FALSE;
    {
        IShellLinkW* rawLink = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&rawLink));
        UniqueInterface<IShellLinkW> link(rawLink);
        if (SUCCEEDED(hr) && link) {
            link.get()->SetPath(executable.c_str());
            link.get()->SetDescription(kShortcutDescription);
            IPersistFile* rawFile = nullptr;
            hr = link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile));
            UniqueInterface<IPersistFile> file(rawFile);
            if (SUCCEEDED(hr) && file) file.get()->Save(shortcut.c_str(), TRUE);
        }
        // The link and its file interface are released here, before COM is left.
    }
    if (initialised) CoUninitialize();
}

}  // namespace

std::wstring GetStartupShortcutPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(g_platform.shGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    folder[MAX_PATH - 1] = L'\0';  // whatever the call left in the buffer, it ends inside it
    std::wstring path(folder);
    if (path.empty()) return {};
    if (path.back() != L'\\') path += L'\\';
    path += kShortcutName;
    return path;
}

void SetRunAtStartup(bool enable) {
    std::wstring shortcut = GetStartupShortcutPath();
    if (IsPackagedRun()) {
        // A packaged program starts through its package's task; a shortcut left by an earlier unpackaged
        // installation would start it a second time.
        if (!shortcut.empty()) DeleteFileW(shortcut.c_str());
        ApplyStartupTask(enable);
        return;
    }
    if (shortcut.empty()) return;
    if (enable) {
        // Written every time, so that a moved executable is found at the next sign-in.
        WriteShortcut(shortcut);
    } else {
        DeleteFileW(shortcut.c_str());  // a missing file is what we want anyway
    }
}
