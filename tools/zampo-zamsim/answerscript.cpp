#include "answerscript.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace zamsim {

namespace {

std::optional<Step> stepOf(std::string word) {
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    word.erase(word.begin(), std::find_if(word.begin(), word.end(), notBlank));
    word.erase(std::find_if(word.rbegin(), word.rend(), notBlank).base(), word.end());
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    Step step;
    if (const std::size_t plus = word.find('+'); plus != std::string::npos) {
        const std::string ms = word.substr(plus + 1);
        if (ms.empty() || ms.size() > 6 ||
            !std::all_of(ms.begin(), ms.end(), [](unsigned char c) { return std::isdigit(c); }))
            return std::nullopt;
        step.delayMs = std::stoi(ms);
        word.resize(plus);
    }
    if (word == "ok")
        step.answer = Answer::Ok;
    else if (word == "nak")
        step.answer = Answer::Nak;
    else if (word == "silent")
        step.answer = Answer::Silent;
    else if (word == "garbage")
        step.answer = Answer::Garbage;
    else if (word == "close")
        step.answer = Answer::Close;
    else
        return std::nullopt;
    return step;
}

}  // namespace

std::optional<AnswerScript> AnswerScript::parse(const std::string& text) {
    AnswerScript script;
    script.text_ = text;
    std::stringstream in(text + ",");  // so that a trailing comma gives an empty entry
    for (std::string word; std::getline(in, word, ',');) {
        const auto a = stepOf(word);
        if (!a) return std::nullopt;
        script.steps_.push_back(*a);
    }
    if (script.steps_.empty()) return std::nullopt;
    return script;
}

Step AnswerScript::next() {
    const Step a = steps_[pos_];
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
