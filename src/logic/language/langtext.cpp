#include "logic/language/langtext.h"

#include <array>

#include "logic/language/texttable.h"

namespace zampo {

namespace {
// Written once at start-up before any timer or worker runs, read-only afterwards.
struct Table {
    std::array<std::string, kTextCount> slots;
    std::array<std::string, kAddedTextCount> added;
    bool loaded = false;
};
Table& table() {
    static Table t;
    return t;
}
}  // namespace

void loadLangTexts(const std::string& language) {
    Table& t = table();
    t.loaded = true;
    if (language.empty()) return;
    const bool dutch = language == "NLD";
    const auto& src = textTable();
    for (int i = 0; i < kTextCount; ++i) {
        const char* s = dutch ? src[i].dutch : src[i].english;
        t.slots[i] = s ? s : "";
    }
    const auto& more = addedTextTable();
    for (int i = 0; i < kAddedTextCount; ++i) {
        const char* s = dutch ? more[i].dutch : more[i].english;
        t.added[i] = s ? s : "";
    }
}

std::string langText(int n, const std::string& def) {
    const Table& t = table();
    std::string result;
    if (t.loaded) {
        // Beyond 120 the default stands unless the table has a text of its own.
        if (n >= kAddedTextFirst && n < kAddedTextFirst + kAddedTextCount && !t.added[n - kAddedTextFirst].empty())
            result = t.added[n - kAddedTextFirst];
        else if (n > kTextCount - 1)
            result = def;
        else if (n >= 0)
            result = t.slots[n];
    }
    if (result.empty()) result = "_" + def;
    return result;
}

std::string langText(TextId id) {
    const int n = static_cast<int>(id);
    return langText(n, textFallback(n));
}

std::string langText(TextId id, const std::string& callerDefault) {
    return langText(static_cast<int>(id), callerDefault);
}

void resetLangTexts() {
    table() = Table{};
}

}  // namespace zampo
