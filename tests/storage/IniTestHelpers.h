#pragma once
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

// A document's contents, "[S]a=1|b=2|[T]"; throws (failing the test) when its order lists and maps disagree.
inline std::wstring Dump(const IniDocument& document) {
    std::wstring text;
    for (const std::wstring& section : document.sectionOrder) {
        text += L"[" + section + L"]";
        for (const std::wstring& key : document.keyOrder.at(section))
            text += key + L"=" + document.sections.at(section).at(key) + L"|";
    }
    return text;
}

// RCDATA 103 of the test executable: the commented default configuration.
inline std::string DefaultConfigResource() {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(103), RT_RCDATA);
    const void* bytes = info ? LockResource(LoadResource(nullptr, info)) : nullptr;
    return bytes ? std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, info)) : std::string();
}
