#pragma once
// The operator's texts by name, in the language chosen at start-up.
#include <string>

#include "logic/language/textid.h"

namespace zampo {

// Fills the table from the language setting: "NLD" (exactly) gives Dutch, any
// other non-empty value English, an empty value leaves the table empty.
void loadLangTexts(const std::string& language);

// The text of that name; while no language fills the table, "_" and its fallback
// (texttable.h).
std::string langText(TextId id);

// The same with a default of the caller's own, for the few places whose default
// differs from the text's fallback.
std::string langText(TextId id, const std::string& callerDefault);

// The lookup by number: the text of number n, or "_" + def when the slot is empty
// or the table is not loaded; above 120 the default itself (or "_" when it is
// empty), unless the language has one of the program's added texts (from 200 on)
// for that number.
std::string langText(int n, const std::string& def);

// Back to the state at process start; for tests.
void resetLangTexts();

}  // namespace zampo
