#pragma once
// How the simulated alarm server answers, per endpoint. A mode text is a list of
// words separated by blanks, commas or line ends; a word is MODE (both endpoints)
// or alarms=MODE / definitions=MODE, later words overriding earlier ones.
// "#" starts a comment that runs to the end of the line.
#include <optional>
#include <string>

namespace posim {

enum class Mode { Normal, Fail, Hang, Close, Empty, Redirect, Text, WrongRoot, Huge, Trickle };

struct ModeSetting {
    Mode mode = Mode::Normal;
    long param = 0;  // huge: MiB; trickle: milliseconds per byte
    std::string text() const;
};

struct AnswerPlan {
    ModeSetting definitions;
    ModeSetting alarms;
    std::string text() const;
};

// Applies text on top of base; nothing, with the reason in error, when a word is unknown.
std::optional<AnswerPlan> parsePlan(const std::string& text, const AnswerPlan& base, std::string& error);

// The mode words with a one-line description each, for --help.
const char* modeHelp();

}  // namespace posim
