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

#include "logic/xml/xmlstore.h"

namespace zampo {

// Parses an answer into doc; false with a readable reason when it is not
// well-formed XML or has no root element.
bool parseAnswer(std::string_view body, pugi::xml_document& doc, std::string& error);

// The 8-bit decoding above, for a body without BOM or 16/32-bit layout.
std::string decodeAnswerBytes(std::string_view body);

// What a merge calls its answer and its document in the reasons it gives.
struct MergeAnswerNames {
    const char* answer;    // "active-alarms", as in "the active-alarms answer is empty"
    const char* prefix;    // "active alarms", before a reason
    const char* document;  // "the alarm status", as in "... could not be read"
};

// The checks both merges make before they change anything: the answer is not
// empty and is well-formed XML (parsed into doc), and the slot holds a document.
// False with the reason in error and, for an unusable answer, fetchMessage set.
bool readMergeAnswer(std::string_view answer, const DocumentSlot& into, const MergeAnswerNames& names,
                     pugi::xml_document& doc, std::string& error, std::string& fetchMessage);

}  // namespace zampo
