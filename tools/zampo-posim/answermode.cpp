#include "answermode.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace posim {

namespace {

struct ModeInfo {
    Mode mode;
    const char* word;
    long defaultParam;  // 0: takes no parameter
};

const ModeInfo kModes[] = {
    {Mode::Normal, "normal", 0},      {Mode::Fail, "fail", 0},           {Mode::Hang, "hang", 0},
    {Mode::Close, "close", 0},        {Mode::Empty, "empty", 0},         {Mode::Redirect, "redirect", 0},
    {Mode::Text, "text", 0},          {Mode::WrongRoot, "wrongroot", 0}, {Mode::Huge, "huge", 40},
    {Mode::Trickle, "trickle", 1000},
};

const ModeInfo* infoOf(Mode m) {
    for (const ModeInfo& i : kModes)
        if (i.mode == m) return &i;
    return &kModes[0];
}

std::optional<ModeSetting> parseSetting(const std::string& word) {
    const auto colon = word.find(':');
    const std::string name = word.substr(0, colon);
    for (const ModeInfo& i : kModes) {
        if (name != i.word) continue;
        ModeSetting s{i.mode, i.defaultParam};
        if (colon == std::string::npos) return s;
        if (i.defaultParam == 0) return std::nullopt;
        const std::string digits = word.substr(colon + 1);
        char* end = nullptr;
        const long v = std::strtol(digits.c_str(), &end, 10);
        if (digits.empty() || *end || v < 1 || v > 100000) return std::nullopt;
        s.param = v;
        return s;
    }
    return std::nullopt;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::string word;
        for (char c : line + " ") {
            if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
                if (!word.empty()) out.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
    }
    return out;
}

}  // namespace

std::string ModeSetting::text() const {
    const ModeInfo* i = infoOf(mode);
    return i->defaultParam ? std::string(i->word) + ":" + std::to_string(param) : i->word;
}

std::string AnswerPlan::text() const {
    if (definitions.text() == alarms.text()) return alarms.text();
    return "definitions=" + definitions.text() + " alarms=" + alarms.text();
}

std::optional<AnswerPlan> parsePlan(const std::string& text, const AnswerPlan& base, std::string& error) {
    AnswerPlan plan = base;
    for (const std::string& w : words(text)) {
        const auto eq = w.find('=');
        const std::string target = eq == std::string::npos ? "" : w.substr(0, eq);
        if (eq != std::string::npos && target != "alarms" && target != "definitions") {
            error = "unknown endpoint '" + target + "' in '" + w + "': give alarms= or definitions=";
            return std::nullopt;
        }
        const auto setting = parseSetting(eq == std::string::npos ? w : w.substr(eq + 1));
        if (!setting) {
            error = "'" + w + "' is not a mode (or its number is out of range)";
            return std::nullopt;
        }
        if (target != "alarms") plan.definitions = *setting;
        if (target != "definitions") plan.alarms = *setting;
    }
    return plan;
}

const char* modeHelp() {
    return "  normal       the file's content, status 200 (default)\n"
           "  fail         status 500\n"
           "  hang         read the request and never answer (the client's time limit ends it)\n"
           "  close        read the request and close the connection without an answer\n"
           "  empty        status 200 with an empty body\n"
           "  redirect     status 302 to another path on this server\n"
           "  text         status 200 with a body that is not XML\n"
           "  wrongroot    status 200 with a well-formed document of another root\n"
           "  huge[:MIB]   status 200 with a body of MIB MiB (default 40), no length given,\n"
           "               ended by closing the connection\n"
           "  trickle[:MS] the normal answer, one byte every MS milliseconds (default 1000)\n";
}

}  // namespace posim
