#include <windows.h>

#include <string>

#include "platform/Handles.h"
#include "platform/Platform.h"
#include "storage/IniDocument.h"
#include "storage/Paths.h"

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";  // every saved file starts with it
constexpr DWORD kUtf8MarkBytes = 3;
constexpr wchar_t kLineBreak[] = L"\r\n";     // between lines only, never after the last
constexpr wchar_t kTemporarySuffix[] = L".tmp";  // beside the target, so the final move stays on one volume
// Replace the target in one step, and return only once the rename itself is on disk.
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// The document's own form: no comments, no blank lines, no blanks around "=", no final line break.
std::wstring RenderText(const IniDocument& document) {
    std::wstring text;
    for (size_t i = 0; i < document.sectionOrder.size(); ++i) {
        const std::wstring& name = document.sectionOrder[i];
        if (i > 0) text += kLineBreak;
        text += L"[" + name + L"]";
        const auto values = document.sections.find(name);
        const auto keys = document.keyOrder.find(name);
        if (values == document.sections.end() || keys == document.keyOrder.end()) continue;
        for (const std::wstring& key : keys->second) {
            const auto value = values->second.find(key);
            if (value == values->second.end()) continue;
            text += kLineBreak + key + L"=" + value->second;
        }
    }
    return text;
}

// Empty when the text is empty or cannot be converted.
std::string ToUtf8(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<size_t>(needed), '\0');
    const int converted = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
    if (converted != needed) return {};
    return bytes;
}

// A short write counts as a failure: the file would hold a cut version.
bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

bool IniDocument::Save() const {
    // After a failed load of a file that exists, this document is empty or partial, not the user's file.
    if (loadFailedOnExistingFile) return false;
    return WriteFileAtomically(path, RenderText(*this));
}

bool EnsureParentDirectory(const std::wstring& filePath) {
    const size_t separator = filePath.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) return true;
    const std::wstring parent = filePath.substr(0, separator);
    CreateDirectoryChain(parent);
    // Any object of that name counts; if it is a file, creating the temporary file fails next.
    return GetFileAttributesW(parent.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileAtomically(const std::wstring& filePath, const std::wstring& text) {
    if (!EnsureParentDirectory(filePath)) return false;
    const std::string utf8 = ToUtf8(text);
    if (utf8.empty() || utf8.size() > MAXDWORD - kUtf8MarkBytes) return false;

    const std::wstring temporaryPath = filePath + kTemporarySuffix;
    bool written = false;
    {
        // No sharing: a second writer fails here instead of interleaving its bytes with ours.
        UniqueFile temporary(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!temporary) return false;
        // The data must be on disk before the rename: otherwise a power cut can leave the renamed file
        // with its new name but without its content.
        written = WriteAll(temporary.get(), kUtf8Mark, kUtf8MarkBytes) &&
                  WriteAll(temporary.get(), utf8.data(), static_cast<DWORD>(utf8.size())) &&
                  g_platform.flushFileBuffers(temporary.get());
    }
    if (!written) {
        DeleteFileW(temporaryPath.c_str());
        return false;
    }
    if (MoveFileExW(temporaryPath.c_str(), filePath.c_str(), kMoveFlags)) return true;
    // The target keeps its previous content (for instance while another process holds it open).
    DeleteFileW(temporaryPath.c_str());
    return false;
}
