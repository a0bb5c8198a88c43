#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "IniTestHelpers.h"
#include "app/Handles.h"
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

namespace {

constexpr WORD kDefaultConfigResource = 103;
constexpr int kLoadInputs = 100000;         // random and mutated files handed to Load
constexpr int kRoundTripDocuments = 2000;   // random documents saved (twice) and loaded back
constexpr int kLargeInputEvery = 2500;      // every n-th input is near the 512 KiB limit
constexpr size_t kMaxFileBytes = 524288;
constexpr unsigned kSeed = 20240611;        // fixed, so a failure can be replayed

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool HasLineBreak(const std::wstring& text) { return text.find_first_of(L"\r\n") != std::wstring::npos; }
bool IsTrimmed(const std::wstring& text) { return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back())); }

// What any successful load must look like, whatever the input was.
void ExpectWellFormed(const IniDocument& document) {
    ASSERT_TRUE(ModelIsConsistent(document));
    for (const auto& [section, keys] : ContentsOf(document)) {
        ASSERT_FALSE(section.empty());
        ASSERT_FALSE(HasLineBreak(section));
        for (const auto& [key, value] : keys) {
            ASSERT_FALSE(key.empty());
            ASSERT_EQ(key.find(L'='), std::wstring::npos);
            ASSERT_FALSE(HasLineBreak(key) || HasLineBreak(value));
            ASSERT_TRUE(IsTrimmed(key) && IsTrimmed(value));
        }
    }
}

// Bytes that steer the decoder and the line rules into their corners.
const std::string kInterestingBytes = std::string("[]=; \t\r\n#ab\0\xFF\xFE\xEF\xBB\xBF\xC3\xA9\x80\xE9\xF0", 23);

class InputMaker {
public:
    explicit InputMaker(unsigned seed) : rng_(seed) {
        const std::string shipped = ResourceBytes(kDefaultConfigResource);
        const std::wstring sample = L"[Trigger]\r\n  TopLeft\t= TaskView ; x\nTopRight=a=b\r[UI]\n\rLanguage=\u65E5\r\n"
                                    L"#k=v\r\n[ A ]\r\n=x\r\n[]\r\n[a]b]\r\nk\r\n";
        seeds_ = {shipped, "\xEF\xBB\xBF" + shipped, Utf16Bytes(Utf16Text(shipped), true),
                  Utf16Bytes(Utf16Text(shipped.substr(shipped.find('['))), false), Utf8(sample),
                  Utf16Bytes(sample, true)};
    }

    std::string Next(int index) {
        if (index % kLargeInputEvery == 0) return Large();
        return Pick(3) == 0 ? Random() : Mutated();
    }

private:
    static std::wstring Utf16Text(const std::string& utf8) {
        std::wstring text(utf8.size(), L'\0');
        int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                                    static_cast<int>(text.size()));
        text.resize(static_cast<size_t>(n > 0 ? n : 0));
        return text;
    }

    size_t Pick(size_t bound) { return bound == 0 ? 0 : std::uniform_int_distribution<size_t>(0, bound - 1)(rng_); }
    char AnyByte() { return static_cast<char>(Pick(256)); }
    char InterestingByte() { return Pick(4) == 0 ? AnyByte() : kInterestingBytes[Pick(kInterestingBytes.size())]; }

    std::string Random() {
        std::string bytes(Pick(300), '\0');
        for (char& b : bytes) b = InterestingByte();
        return bytes;
    }

    std::string Mutated() {
        std::string bytes = seeds_[Pick(seeds_.size())];
        const size_t edits = 1 + Pick(8);
        for (size_t e = 0; e < edits; ++e) {
            const size_t at = Pick(bytes.size() + 1);
            switch (Pick(6)) {
            case 0: if (at < bytes.size()) bytes[at] = InterestingByte(); break;
            case 1: bytes.insert(at, 1, InterestingByte()); break;
            case 2: bytes.erase(at, Pick(16)); break;
            case 3: bytes.resize(at); break;
            case 4: bytes.insert(at, bytes.substr(Pick(bytes.size() + 1), Pick(64))); break;
            default: {
                const std::string& other = seeds_[Pick(seeds_.size())];
                bytes = bytes.substr(0, at) + other.substr(Pick(other.size() + 1));
                break;
            }
            }
        }
        return bytes;
    }

    // Around the size limit, on both sides of it.
    std::string Large() {
        std::string bytes = Mutated();
        const size_t size = kMaxFileBytes - 64 + Pick(128);
        while (bytes.size() < size) bytes += bytes.empty() ? std::string(1, InterestingByte()) : bytes;
        bytes.resize(size);
        return bytes;
    }

    std::mt19937 rng_;
    std::vector<std::string> seeds_;
};

bool Rewrite(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
           (bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) &&
           written == bytes.size() && SetEndOfFile(file);
}

TEST(IniProperties, LoadSurvivesRandomAndMutatedFiles) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    // Rewritten in place through one handle: recreating the file for every input costs four times as
    // much under Wine. The sharing allows Load's own read handle.
    UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    InputMaker maker(kSeed);
    int loaded = 0;
    int refused = 0;
    size_t sectionsSeen = 0;
    size_t keysSeen = 0;
    for (int i = 0; i < kLoadInputs; ++i) {
        const std::string bytes = maker.Next(i);
        ASSERT_TRUE(Rewrite(writer.get(), bytes));
        IniDocument document(path);
        const bool result = document.Load();
        // The file exists, so a failure protects it, unless there was no text to lose.
        const bool nothingToLose = !result && !document.loadFailedOnExistingFile && bytes.size() <= 3;
        ASSERT_TRUE(result != document.loadFailedOnExistingFile || nothingToLose) << "input " << i;
        ASSERT_NO_FATAL_FAILURE(ExpectWellFormed(document)) << "input " << i;
        if (result) {
            ++loaded;
            sectionsSeen += document.sectionOrder.size();
            for (const auto& [name, keys] : document.keyOrder) keysSeen += keys.size();
        } else {
            ++refused;
            ASSERT_TRUE(document.sectionOrder.empty());
            ASSERT_TRUE(bytes.empty() || bytes.size() > kMaxFileBytes || bytes.size() <= 3) << "input " << i;
        }
    }
    std::printf("[ figures  ] Load: %d inputs, %d loaded, %d refused, %zu sections and %zu keys parsed\n",
                kLoadInputs, loaded, refused, sectionsSeen, keysSeen);
    // The inputs must mostly reach the parser, not stop at the size or decoding checks.
    EXPECT_GT(loaded, kLoadInputs * 9 / 10);
    EXPECT_GT(sectionsSeen, static_cast<size_t>(kLoadInputs / 2));
}

// Names and values the grammar can carry through a save and a load unchanged.
class DocumentMaker {
public:
    explicit DocumentMaker(unsigned seed) : rng_(seed) {}

    IniDocument Next(const std::wstring& path) {
        IniDocument document(path);
        const size_t sectionCount = 1 + Pick(6);
        for (size_t s = 0; s < sectionCount; ++s) {
            const std::wstring section = Text(1 + Pick(10), false);
            const size_t keyCount = Pick(8);
            if (keyCount == 0) AddBareSection(document, section);
            for (size_t k = 0; k < keyCount; ++k) {
                document.SetValue(section.c_str(), Key().c_str(), Value().c_str());
            }
        }
        return document;
    }

private:
    // A section without keys, as a lone header line in a file produces it (SetValue always adds a key).
    static void AddBareSection(IniDocument& document, const std::wstring& section) {
        if (document.sections.count(section)) return;
        document.sections[section];
        document.keyOrder[section];
        document.sectionOrder.push_back(section);
    }

    size_t Pick(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(rng_); }

    // Any character but line breaks, lone surrogates and the zero character (the API takes
    // zero-terminated strings); pairs are kept whole.
    std::wstring Text(size_t length, bool trimmed) {
        static const std::wstring alphabet =
            L"abcXYZ019 \t=;[]#\"'\\/.,\u00E9\u00A0\u65E5\u672C\uFEFF\uFFFD\u0001";
        std::wstring text;
        while (text.size() < length) {
            if (Pick(20) == 0) {
                text += L"\U0001F600";
            } else {
                text += alphabet[Pick(alphabet.size())];
            }
        }
        if (trimmed) text = TrimBlanks(text);
        return text;
    }

    // Not empty, no "=", not a comment, and not able to form a header with its value.
    std::wstring Key() {
        for (;;) {
            std::wstring key = Text(1 + Pick(12), true);
            std::wstring cleaned;
            for (wchar_t c : key) if (c != L'=') cleaned += c;
            cleaned = TrimBlanks(cleaned);
            if (cleaned.empty() || cleaned.front() == L';' || cleaned.front() == L'[') continue;
            return cleaned;
        }
    }

    std::wstring Value() { return Pick(6) == 0 ? std::wstring() : Text(1 + Pick(30), true); }

    std::mt19937 rng_;
};

TEST(IniProperties, SavedDocumentsLoadBackUnchanged) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    DocumentMaker maker(kSeed);
    size_t sections = 0;
    size_t keys = 0;
    for (int i = 0; i < kRoundTripDocuments; ++i) {
        const IniDocument original = maker.Next(path);
        ASSERT_TRUE(original.Save()) << "document " << i;
        const std::string firstBytes = ReadBytes(path);
        IniDocument reloaded(path);
        ASSERT_TRUE(reloaded.Load()) << "document " << i;
        ASSERT_EQ(ContentsOf(reloaded), ContentsOf(original)) << "document " << i;
        // And the second save writes the very same bytes.
        ASSERT_TRUE(reloaded.Save());
        ASSERT_EQ(ReadBytes(path), firstBytes) << "document " << i;
        sections += original.sectionOrder.size();
        for (const auto& [name, order] : original.keyOrder) keys += order.size();
    }
    std::printf("[ figures  ] round trip: %d documents, %zu sections, %zu keys, all equal after Load(Save(doc))\n",
                kRoundTripDocuments, sections, keys);
}

}  // namespace
