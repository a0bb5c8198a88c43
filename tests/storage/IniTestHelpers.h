#pragma once
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

// A document's visible contents: sections in order, each with its keys in order and their values.
using IniKeys = std::vector<std::pair<std::wstring, std::wstring>>;
using IniContents = std::vector<std::pair<std::wstring, IniKeys>>;

// Throws (and so fails the test) when the order lists and the maps disagree.
inline IniContents ContentsOf(const IniDocument& document) {
    IniContents contents;
    for (const std::wstring& section : document.sectionOrder) {
        IniKeys keys;
        for (const std::wstring& key : document.keyOrder.at(section)) {
            keys.emplace_back(key, document.sections.at(section).at(key));
        }
        contents.emplace_back(section, keys);
    }
    return contents;
}

constexpr WORD kDefaultConfigResource = 103;  // RCDATA: the commented default configuration

inline std::string ResourceBytes(WORD id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, info)) : std::string();
}

// What Save writes for a text: UTF-8 mark, then the text's UTF-8 bytes.
inline std::string SavedForm(const std::wstring& text) { return "\xEF\xBB\xBF" + Utf8(text); }

// The default configuration in the document's own form, TopRight being the one value that varies.
inline std::string DefaultsSaved(const char* topRight) {
    return std::string("\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=") + topRight +
           "\r\nBottomLeft=Disabled\r\nBottomRight=Disabled\r\nEdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\n"
           "Language=\r\n[General]\r\nRunAtStartup=0";
}
