#pragma once
#include <string>
#include <string_view>

namespace zampo {

// Turns UTF-8 XML text into ISO-8859-1 bytes; a character beyond U+00FF becomes a
// numeric character reference so that it survives a save and a reload. Only valid
// inside text and attribute values, which is where such characters can stand.
std::string utf8ToLatin1WithReferences(std::string_view utf8);

// ISO-8859-1 bytes to UTF-8.
std::string latin1ToUtf8(std::string_view latin1);

}  // namespace zampo
