#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "storage/IniDocument.h"

// A document's visible contents: sections in order, each with its keys in order and their values.
using IniKeys = std::vector<std::pair<std::wstring, std::wstring>>;
using IniContents = std::vector<std::pair<std::wstring, IniKeys>>;

IniContents ContentsOf(const IniDocument& document);
// The three containers agree: every section once in the order list, every key once in its key list.
bool ModelIsConsistent(const IniDocument& document);
// The bytes of an RCDATA resource of this executable; empty when it is missing.
std::string ResourceBytes(WORD id);
// What Save writes for a text: UTF-8 mark, then the text's UTF-8 bytes.
std::string SavedForm(const std::wstring& text);
