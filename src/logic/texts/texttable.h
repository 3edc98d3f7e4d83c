#pragma once
#include <array>

namespace zampo {

inline constexpr int kTextCount = 121;  // slots 0..120

struct TextEntry {
    const char* english = nullptr;  // nullptr: no text in this slot
    const char* dutch = nullptr;
};

// The compiled English and Dutch lists, UTF-8.
const std::array<TextEntry, kTextCount>& textTable();

}  // namespace zampo
