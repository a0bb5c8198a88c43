#pragma once
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

constexpr size_t kMaxFileBytes = 524288;  // the largest file Load reads

// A document's visible contents: sections in order, each with its keys in order and their values.
using IniKeys = std::vector<std::pair<std::wstring, std::wstring>>;
using IniContents = std::vector<std::pair<std::wstring, IniKeys>>;

// Throws (and so fails the test) when the order lists and the maps disagree.
inline IniContents ContentsOf(const IniDocument& document) {
    IniContents contents;
    for (const std::wstring& section : document.sectionOrder) {
        contents.emplace_back(section, IniKeys{});
        for (const std::wstring& key : document.keyOrder.at(section))
            contents.back().second.emplace_back(key, document.sections.at(section).at(key));
    }
    return contents;
}

// RCDATA 103 of the test executable: the commented default configuration.
inline std::string DefaultConfigResource() {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(103), RT_RCDATA);
    const void* bytes = info ? LockResource(LoadResource(nullptr, info)) : nullptr;
    return bytes ? std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, info)) : std::string();
}
