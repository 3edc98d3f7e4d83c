#include "logic/grid/linkfilter.h"

#include <algorithm>

#include "logic/encoding/textrules.h"

namespace zampo {

LinkFilter buildLinkFilter(const LinkFilterBox& box) {
    LinkFilter out;
    std::string& e = out.expression;
    auto termStart = [&](int column) { e += "[" + box.headers[std::size_t(column - 1)]; };

    for (int k = 1; k <= kLinkGridColumns; ++k) {
        const std::size_t i = std::size_t(k - 1);
        std::string t(trimBlanks(box.texts[i]));
        if (!box.checked[i] || t.empty()) continue;
        if (!e.empty()) e += ' ';
        const std::size_t dot = t.find('.');
        if (dot == std::string::npos) {
            termStart(k);
            e += "] LIKE \"" + t + "\"";
            continue;
        }
        // The first "." separates two alternatives; further ones carry no meaning.
        t.erase(std::remove(t.begin() + std::ptrdiff_t(dot) + 1, t.end(), '.'), t.end());
        if (t != box.texts[i]) out.correctedTexts[i] = t;
        termStart(k);
        e += "] LIKEOR \"" + t.substr(0, dot) + "\" ";
        termStart(k);
        e += "] LIKE \"" + t.substr(dot + 1) + "\"";
    }
    if (box.hideExceptions) {
        if (!e.empty()) e += " AND ";
        termStart(3);
        e += "] = \"--\"";
    }
    if (box.showUnassigned) {
        if (!e.empty()) e += " AND ";
        termStart(4);
        e += "] = \"\"";
    }
    return out;
}

}  // namespace zampo
