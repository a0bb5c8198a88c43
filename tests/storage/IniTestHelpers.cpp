#include "IniTestHelpers.h"

#include <set>

#include "support/TestSupport.h"

IniContents ContentsOf(const IniDocument& document) {
    IniContents contents;
    for (const std::wstring& section : document.sectionOrder) {
        IniKeys keys;
        const auto values = document.sections.find(section);
        const auto order = document.keyOrder.find(section);
        if (values != document.sections.end() && order != document.keyOrder.end()) {
            for (const std::wstring& key : order->second) {
                const auto value = values->second.find(key);
                keys.emplace_back(key, value == values->second.end() ? L"<missing>" : value->second);
            }
        }
        contents.emplace_back(section, keys);
    }
    return contents;
}

bool ModelIsConsistent(const IniDocument& document) {
    std::set<std::wstring> seen(document.sectionOrder.begin(), document.sectionOrder.end());
    if (seen.size() != document.sectionOrder.size()) return false;
    if (document.sections.size() != seen.size() || document.keyOrder.size() != seen.size()) return false;
    for (const std::wstring& section : document.sectionOrder) {
        const auto values = document.sections.find(section);
        const auto order = document.keyOrder.find(section);
        if (values == document.sections.end() || order == document.keyOrder.end()) return false;
        std::set<std::wstring> keys(order->second.begin(), order->second.end());
        if (keys.size() != order->second.size() || keys.size() != values->second.size()) return false;
        for (const std::wstring& key : keys) {
            if (!values->second.count(key)) return false;
        }
    }
    return true;
}

std::string ResourceBytes(WORD id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return {};
    return std::string(bytes, SizeofResource(module, info));
}

std::string SavedForm(const std::wstring& text) { return "\xEF\xBB\xBF" + Utf8(text); }
