#pragma once
// The operator's texts by number, in the language chosen at start-up.
#include <string>

namespace zampo {

// Fills the table from the language setting: "NLD" (exactly) gives Dutch, any
// other non-empty value English, an empty value leaves the table empty.
void loadLangTexts(const std::string& language);

// The text of number n, or "_" + def when the slot is empty or the table is not
// loaded; above 120 the default itself (or "_" when it is empty), unless the
// language has one of the program's added texts (from 200 on) for that number.
std::string langText(int n, const std::string& def);

// Back to the state at process start; for tests.
void resetLangTexts();

}  // namespace zampo
