#pragma once
#include <map>
#include <string>
#include <vector>

// One INI file in memory. Lives for one settings operation: Load, read or change, Save.
struct IniDocument {
    explicit IniDocument(std::wstring filePath) : path(std::move(filePath)) {}

    bool Load();
    std::wstring GetValue(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const;
    bool HasKey(const wchar_t* section, const wchar_t* key) const;
    void SetValue(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    bool Save() const;

    std::wstring path;
    std::vector<std::wstring> sectionOrder;
    std::map<std::wstring, std::map<std::wstring, std::wstring>> sections;
    std::map<std::wstring, std::vector<std::wstring>> keyOrder;
    // Load failed for a file that exists (locked, too large, unreadable, undecodable): the empty
    // document must never be saved over it.
    bool loadFailedOnExistingFile = false;
};

std::wstring TrimBlanks(const std::wstring& text);
bool EnsureParentDirectory(const std::wstring& filePath);
bool WriteFileAtomically(const std::wstring& filePath, const std::wstring& text);
