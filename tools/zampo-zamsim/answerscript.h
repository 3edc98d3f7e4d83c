#pragma once
// What the simulated receiver answers: one mode for every line, or a short
// script whose last entry repeats ("nak,nak,ok"). An entry may hold its answer
// back for some milliseconds after the line came ("ok+300"); answers on one
// connection still go out in the order of their lines.
#include <optional>
#include <string>
#include <vector>

namespace zamsim {

enum class Answer { Ok, Nak, Silent, Garbage, Close };

struct Step {
    Answer answer = Answer::Ok;
    int delayMs = 0;
};

class AnswerScript {
public:
    // nullopt for an unknown word or an empty entry.
    static std::optional<AnswerScript> parse(const std::string& text);

    // The answer to the next line received, on any connection.
    Step next();
    const std::string& text() const { return text_; }

private:
    std::vector<Step> steps_;
    std::size_t pos_ = 0;
    std::string text_;
};

// The bytes sent back for an answer; empty for Silent and Close.
std::string answerLine(Answer a);

}  // namespace zamsim
