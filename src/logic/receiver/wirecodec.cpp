#include "logic/receiver/wirecodec.h"

#include "logic/encoding/encoding.h"

namespace zampo {

namespace {

bool isControl(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F);
}

}  // namespace

std::string encodeForWire(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, pos);
        out.push_back(isControl(cp) ? ' ' : unicodeToWindows1252(cp, '?'));
    }
    return out;
}

std::string decodeFromWire(std::string_view bytes) {
    return windows1252ToUtf8(bytes);
}

}  // namespace zampo
