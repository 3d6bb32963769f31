// Owned 8-bit strings and the case-insensitive name match every lookup uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Name hash: a CRC-32 register over the ASCII-lower-cased bytes, started at
// 0xFFFFFFFF and never inverted at the end ("abc" and "ABC" -> 0xCADBBE3D,
// "" -> 0xFFFFFFFF).
uint32_t NameHash(const char* text);
uint32_t NameHash(const char* text, size_t length);

// ASCII-only case-insensitive comparison (only A-Z fold), like strcasecmp in
// the "C" locale. Negative, 0 or positive.
int CompareNoCase(const char* a, const char* b);
bool EqualNoCase(const char* a, const char* b);
bool EqualNoCase(const std::string& a, const char* b);
// The text with A-Z made a-z (other bytes as they are): the key of a name
// the game compares without letter case.
std::string LowerAscii(std::string text);
// True when word is a non-empty leading part of full, ignoring ASCII case
// ("verb" of "VerboseTextures").
bool IsPrefixNoCase(const std::string& word, const char* full);

// The text as valid UTF-8: valid UTF-8 sequences are kept, every other byte
// stands for its Windows-1252 character, and the five bytes that have none
// become "_". Plain ASCII comes back unchanged.
std::string ToUtf8(const std::string& text);
// Length of the valid UTF-8 sequence at p (n bytes left, n >= 1) and its code
// point; 0 when the bytes are not valid UTF-8 (overlong forms and surrogates
// included).
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& cp);

// An owned byte string whose text may be null. A default string holds ""
// (never null); Set(nullptr) makes it null. Text stops at the first zero byte,
// as the original C strings did.
struct Core_Str {
    std::string value;
    bool null = false;

    Core_Str() = default;
    explicit Core_Str(const char* source) { Set(source); }

    void Set(const char* source);
    void Set(const char* data, size_t length);  // copies up to the first zero byte
    void Set(const std::string& source) { Set(source.c_str(), source.size()); }

    // Null when the text is null; otherwise the zero-terminated text.
    const char* Text() const { return null ? nullptr : value.c_str(); }
    // Never null: "" stands in for a null text.
    const char* CStr() const { return value.c_str(); }
    bool Empty() const { return null || value.empty(); }
};

// A name: the text plus its name hash. A default-constructed name has the
// hash 0, not the hash of "" (0xFFFFFFFF); it gets the real hash at its first
// Set. Set(nullptr) leaves a null text and hash 0.
struct Core_QStr {
    std::string value;
    bool null = false;
    uint32_t hash = 0;

    Core_QStr() = default;
    explicit Core_QStr(const char* source) { Set(source); }

    void Set(const char* source);
    void Set(const char* data, size_t length);
    void Set(const std::string& source) { Set(source.c_str(), source.size()); }

    const char* Text() const { return null ? nullptr : value.c_str(); }
    const char* CStr() const { return value.c_str(); }
    bool Empty() const { return null || value.empty(); }
};

// Name match: equal hashes first, then an ASCII case-insensitive compare of the
// texts. A null text never matches.
bool NameMatch(const Core_QStr& a, const Core_QStr& b);

// The owned pointer list: slots may be null (only the variable table nulls a
// slot); every walk skips null slots and lookups take the first match from
// slot 0.
template <typename T>
using OwnedList = std::vector<std::unique_ptr<T>>;

// First non-null entry whose `name` matches, or null.
template <typename T>
T* FindByName(const OwnedList<T>& list, const Core_QStr& name) {
    for (const auto& item : list)
        if (item && NameMatch(item->name, name)) return item.get();
    return nullptr;
}
