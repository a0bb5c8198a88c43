#include "storage/IniDocument.h"

bool IniDocument::Load() { return false; }
std::wstring IniDocument::GetValue(const wchar_t*, const wchar_t*, const wchar_t* defaultValue) const {
    return defaultValue ? defaultValue : L"";
}
bool IniDocument::HasKey(const wchar_t*, const wchar_t*) const { return false; }
void IniDocument::SetValue(const wchar_t*, const wchar_t*, const wchar_t*) {}
bool IniDocument::Save() const { return false; }
std::wstring TrimBlanks(const std::wstring& text) { return text; }
bool EnsureParentDirectory(const std::wstring&) { return false; }
bool WriteFileAtomically(const std::wstring&, const std::wstring&) { return false; }
