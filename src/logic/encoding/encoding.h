#pragma once
// Texts in memory are UTF-8. The 8-bit forms the gateway meets are converted here
// and nowhere else: Windows-1252 on the ZamMeld connection and in undeclared Priva
// Office answers, ISO-8859-1 in the data files, and whatever an XML file declares.
#include <cstddef>
#include <string>
#include <string_view>

namespace zampo {

// Windows-1252

// The character a byte stands for; every byte has one.
char32_t windows1252ToUnicode(unsigned char byte);

// The byte for a character, or fallback when the code page lacks it.
char unicodeToWindows1252(char32_t codePoint, char fallback);

// Windows-1252 bytes to UTF-8.
std::string windows1252ToUtf8(std::string_view bytes);

// ISO-8859-1

// ISO-8859-1 bytes to UTF-8.
std::string latin1ToUtf8(std::string_view latin1);

// Turns UTF-8 XML text into ISO-8859-1 bytes; a character beyond U+00FF becomes a
// numeric character reference so that it survives a save and a reload. Only valid
// inside text and attribute values, which is where such characters can stand. A
// byte that starts no well-formed sequence is kept as it is rather than lost.
std::string utf8ToLatin1WithReferences(std::string_view utf8);

// XML texts

// The encoding named in a leading XML declaration, lower-cased; empty when none.
std::string declaredXmlEncoding(std::string_view text);

bool isLatin1EncodingName(std::string_view name);
bool isUtf8EncodingName(std::string_view name);

// True when the text starts with a UTF-16 or UTF-32 byte-order mark, or with "<"
// padded by NUL bytes (such a layout without a mark).
bool isWideXmlLayout(std::string_view bytes);

// The bytes of an XML file or answer as UTF-8, by what they declare:
//  - a byte-order mark (UTF-8, UTF-16, UTF-32, either order) or a 16/32-bit layout
//    of "<" without one: that form; characters it cannot hold become U+FFFD;
//  - a declared ISO-8859-1: every byte is its Latin-1 character;
//  - a declared windows-1252: every byte is its Windows-1252 character;
//  - anything else (UTF-8, no declaration, a name we do not know): well-formed
//    UTF-8 sequences stay, every other byte is read as Windows-1252. A name then
//    decodes by its own bytes alone, never by the rest of the file.
// The declaration itself is left as it stands.
std::string xmlBytesToUtf8(std::string_view bytes);

// UTF-8

// Length of the well-formed sequence at text[pos] (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t pos);

// Reads the character at pos and moves pos past it. A byte that starts no
// well-formed sequence reads as U+FFFD and moves pos by one byte.
char32_t decodeUtf8(std::string_view text, std::size_t& pos);

// Appends a character (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

bool isValidUtf8(std::string_view text);

// Characters of a UTF-8 text: every byte that is not a continuation byte starts
// one, so these never split a sequence, whatever the text holds.
std::size_t utf8CharCount(std::string_view text);

// The first maxChars characters.
std::string utf8Prefix(std::string_view text, std::size_t maxChars);

// Characters from .. from + count - 1; shorter where the text ends first.
std::string utf8Substr(std::string_view text, std::size_t from, std::size_t count);

}  // namespace zampo
