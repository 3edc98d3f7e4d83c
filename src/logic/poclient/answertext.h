#pragma once
// Priva Office answers arrive as bytes whose character set is not settled. They
// are decoded the same way at every fetch, so that a name with characters outside
// ASCII matches what the data files hold from earlier fetches:
//  - a byte-order mark or 16/32-bit layout: the parser's own detection;
//  - a declared ISO-8859-1: every byte is its Latin-1 character;
//  - a declared windows-1252: every byte is its Windows-1252 character;
//  - otherwise (UTF-8, no declaration, anything else): valid UTF-8 sequences as
//    UTF-8, and every other byte as its Windows-1252 character. The decoding of a
//    name then depends on its own bytes only, never on the rest of the answer.
// The texts in memory are always valid UTF-8, which the data files keep exactly.
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace zampo {

// Parses an answer into doc; false with a readable reason when it is not
// well-formed XML or has no root element.
bool parseAnswer(std::string_view body, pugi::xml_document& doc, std::string& error);

// The 8-bit decoding above, for a body without BOM or 16/32-bit layout.
std::string decodeAnswerBytes(std::string_view body);

}  // namespace zampo
