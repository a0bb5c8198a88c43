#include "storage/IniDocument.h"

#include <windows.h>

#include <vector>

#include "platform/Handles.h"

namespace {

constexpr LONGLONG kMaxFileBytes = 0x80000;    // 512 KiB: bounds what a stray file can make us allocate
constexpr unsigned char kUtf16Mark[] = {0xFF, 0xFE};       // byte-order mark, UTF-16 little-endian
constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};   // byte-order mark, UTF-8
constexpr size_t kMinUnmarkedUtf16Bytes = 4;   // "[" plus one more character, both UTF-16

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Little-endian code units, taken as they are; an odd last byte is dropped.
std::wstring Utf16Units(const unsigned char* bytes, size_t count) {
    std::wstring text(count / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return text;
}

// Empty when the conversion fails: with MB_ERR_INVALID_CHARS that is any invalid sequence.
std::wstring MultiByteText(UINT codePage, DWORD flags, const char* bytes, int count) {
    if (count <= 0) return {};
    int needed = MultiByteToWideChar(codePage, flags, bytes, count, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring text(static_cast<size_t>(needed), L'\0');
    int converted = MultiByteToWideChar(codePage, flags, bytes, count, text.data(), needed);
    if (converted <= 0) return {};
    text.resize(static_cast<size_t>(converted));
    return text;
}

// UTF-16 with mark; UTF-16 without mark when it opens with "["; else 8-bit text: strict UTF-8, then
// UTF-8 with replacement characters (so a stray byte does not turn a UTF-8 file into ANSI mojibake),
// then the ANSI code page.
std::wstring DecodeFileText(const std::vector<unsigned char>& bytes) {
    const size_t n = bytes.size();
    if (n >= 2 && bytes[0] == kUtf16Mark[0] && bytes[1] == kUtf16Mark[1]) return Utf16Units(bytes.data() + 2, n - 2);
    if (n >= kMinUnmarkedUtf16Bytes && bytes[0] == '[' && bytes[1] == 0) return Utf16Units(bytes.data(), n);

    size_t skip = (n >= 3 && bytes[0] == kUtf8Mark[0] && bytes[1] == kUtf8Mark[1] && bytes[2] == kUtf8Mark[2]) ? 3 : 0;
    const char* start = reinterpret_cast<const char*>(bytes.data()) + skip;
    const int count = static_cast<int>(n - skip);
    struct Attempt {
        UINT codePage;
        DWORD flags;
    };
    for (Attempt attempt : {Attempt{CP_UTF8, MB_ERR_INVALID_CHARS}, Attempt{CP_UTF8, 0}, Attempt{CP_ACP, 0}}) {
        std::wstring text = MultiByteText(attempt.codePage, attempt.flags, start, count);
        if (!text.empty()) return text;
    }
    return {};
}

void AddSection(IniDocument& document, const std::wstring& name) {
    if (document.sections.count(name)) return;
    document.sections[name];
    document.keyOrder[name];
    document.sectionOrder.push_back(name);
}

void StoreValue(IniDocument& document, const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    AddSection(document, section);
    std::map<std::wstring, std::wstring>& values = document.sections[section];
    if (!values.count(key)) document.keyOrder[section].push_back(key);
    values[key] = value;
}

// currentSection is empty until the first header: a header always names at least one character.
void HandleLine(IniDocument& document, const std::wstring& rawLine, std::wstring& currentSection) {
    const std::wstring line = TrimBlanks(rawLine);
    if (line.empty() || line.front() == L';') return;
    if (line.size() >= 3 && line.front() == L'[' && line.back() == L']') {
        currentSection = line.substr(1, line.size() - 2);
        AddSection(document, currentSection);
        return;
    }
    if (currentSection.empty()) return;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) return;
    std::wstring key = TrimBlanks(line.substr(0, equals));
    if (key.empty()) return;
    StoreValue(document, currentSection, key, TrimBlanks(line.substr(equals + 1)));
}

// CR LF, a lone LF and a lone CR each end one line; a final break adds no empty line.
void ParseText(IniDocument& document, const std::wstring& text) {
    std::wstring currentSection;
    size_t position = 0;
    do {
        const size_t lineBreak = text.find_first_of(L"\r\n", position);
        const size_t end = lineBreak == std::wstring::npos ? text.size() : lineBreak;
        HandleLine(document, text.substr(position, end - position), currentSection);
        if (lineBreak == std::wstring::npos) break;
        position = lineBreak + 1;
        if (text[lineBreak] == L'\r' && position < text.size() && text[position] == L'\n') ++position;
    } while (position < text.size());
}

}  // namespace

std::wstring TrimBlanks(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool IniDocument::Load() {
    sectionOrder.clear();
    sections.clear();
    keyOrder.clear();
    loadFailedOnExistingFile = false;

    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return true;
        // A missing folder holds no file to protect, and a save creates the folder. Every other error
        // (sharing violation, access denied, a folder of that name) means something is there.
        loadFailedOnExistingFile = error != ERROR_PATH_NOT_FOUND;
        return false;
    }

    // From here on the file exists: a failure to read it must keep an empty document from replacing it.
    // A file of no bytes, or one whose text decodes to nothing (a lone byte-order mark), holds nothing a
    // save could destroy; protecting it would only keep every later change from being stored.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        loadFailedOnExistingFile = true;
        return false;
    }
    if (size.QuadPart == 0) return false;
    loadFailedOnExistingFile = true;
    if (size.QuadPart < 0 || size.QuadPart > kMaxFileBytes) return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read == 0) return false;
    // Parsing never holds the file open.
    file.reset();
    bytes.resize(read);

    loadFailedOnExistingFile = false;
    const std::wstring text = DecodeFileText(bytes);
    if (text.empty()) return false;
    ParseText(*this, text);
    return true;
}

std::wstring IniDocument::GetValue(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const {
    const std::wstring fallback = defaultValue ? defaultValue : L"";
    if (!section || !key) return fallback;
    const auto found = sections.find(section);
    if (found == sections.end()) return fallback;
    const auto value = found->second.find(key);
    return value == found->second.end() ? fallback : value->second;
}

bool IniDocument::HasKey(const wchar_t* section, const wchar_t* key) const {
    if (!section || !key) return false;
    const auto found = sections.find(section);
    return found != sections.end() && found->second.count(key) != 0;
}

void IniDocument::SetValue(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (!section || !key || !value) return;
    StoreValue(*this, section, key, value);
}
