#pragma once
#include <array>

namespace zampo {

inline constexpr int kTextCount = 121;  // slots 0..120

struct TextEntry {
    const char* english = nullptr;  // nullptr: no text in this slot
    const char* dutch = nullptr;
    // What a text asked for by name shows, behind "_", while no language fills the
    // table: the English text unless given here, as its first callers worded it.
    const char* fallback = nullptr;
};

// The fallback of text n ("" for a number without a text).
const char* textFallback(int n);

// The compiled English and Dutch lists, UTF-8.
const std::array<TextEntry, kTextCount>& textTable();

// Texts this program added to the table, numbered from 200 so that the numbers
// above stay as operators and peers know them.
inline constexpr int kAddedTextFirst = 200;
inline constexpr int kAddedTextCount = 50;  // 200..249
const std::array<TextEntry, kAddedTextCount>& addedTextTable();

}  // namespace zampo
