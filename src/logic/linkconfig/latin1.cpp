#include "logic/linkconfig/latin1.h"
#include <cstdint>

namespace zampo {

std::string utf8ToLatin1WithReferences(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        int len = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC0) ? 2 : 1;
        if (len == 1 || i + static_cast<size_t>(len) > s.size()) {
            // Not UTF-8: keep the byte as it is rather than lose it.
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t cp = c & (0xFF >> (len + 1));
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (cp <= 0xFF)
            out += static_cast<char>(cp);
        else
            out += "&#" + std::to_string(cp) + ";";
        i += static_cast<size_t>(len);
    }
    return out;
}

std::string latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace zampo
