#include "answerscript.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace zamsim {

namespace {

std::optional<Answer> answerOf(std::string word) {
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    word.erase(word.begin(), std::find_if(word.begin(), word.end(), notBlank));
    word.erase(std::find_if(word.rbegin(), word.rend(), notBlank).base(), word.end());
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    if (word == "ok") return Answer::Ok;
    if (word == "nak") return Answer::Nak;
    if (word == "silent") return Answer::Silent;
    if (word == "garbage") return Answer::Garbage;
    if (word == "close") return Answer::Close;
    return std::nullopt;
}

}  // namespace

std::optional<AnswerScript> AnswerScript::parse(const std::string& text) {
    AnswerScript script;
    script.text_ = text;
    std::stringstream in(text + ",");  // so that a trailing comma gives an empty entry
    for (std::string word; std::getline(in, word, ',');) {
        const auto a = answerOf(word);
        if (!a) return std::nullopt;
        script.steps_.push_back(*a);
    }
    if (script.steps_.empty()) return std::nullopt;
    return script;
}

Answer AnswerScript::next() {
    const Answer a = steps_[pos_];
    if (pos_ + 1 < steps_.size()) ++pos_;
    return a;
}

std::string answerLine(Answer a) {
    switch (a) {
        case Answer::Ok:
            return "OK\r";
        case Answer::Nak:
            return "NAK\r";
        case Answer::Garbage:
            return "ERR?\r";
        case Answer::Silent:
        case Answer::Close:
            break;
    }
    return {};
}

}  // namespace zamsim
