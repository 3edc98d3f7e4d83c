#include "logic/receiver/messages.h"

#include "logic/encoding/encoding.h"

namespace zampo {

namespace {

const std::string kAlarmHead = "[ZAM RCVALARM 02,";

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

// A bracket inside a text would let it close the frame and open a forged one.
std::string framedText(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '[') c = '(';
        if (c == ']') c = ')';
    }
    return out;
}

}  // namespace

std::string linkedAlarmMessage(std::string_view location, std::string_view input, char state, std::string_view text) {
    std::string m = kAlarmHead;
    m.append(location).append(",").append(input).append(",");
    m.push_back(state);
    m.append(",,").append(framedText(utf8Prefix(text, kMaxAlarmTextChars))).append("]");
    return m;
}

std::string groupAlarmMessage(std::string_view groupReference, bool reset, std::string_view text) {
    const char state = reset ? 'R' : (text.empty() ? 'A' : 'T');
    std::string m = kAlarmHead + replaceAll(groupReference, " - ", ",") + "," + state + ",,";
    if (state == 'T') m.append(framedText(text));
    m.append("]");
    return m;
}

std::string systemAlarmMessage(int input, bool raise) {
    return kAlarmHead + "9999," + std::to_string(input) + (raise ? ",A]" : ",R]");
}

std::string watchdogMessage(int watchdogId) {
    if (watchdogId < 1) return "[ZAM WD 09]";
    return "[ZAM WD 09 " + std::to_string(watchdogId) + "]";
}

std::string testMessage(std::string_view location, std::string_view input, std::string_view state) {
    std::string m = kAlarmHead;
    m.append(location).append(",").append(input).append(",").append(state).append("]");
    return m;
}

ReplyKind classifyReply(std::string_view reply) {
    if (reply.starts_with("OK")) return ReplyKind::Accepted;
    if (reply.starts_with("NAK")) return ReplyKind::Refused;
    return ReplyKind::Unrecognised;
}

std::vector<std::string> splitReplyLines(std::string_view data) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : data) {
        if (c != '\r') {
            line.push_back(c);
        } else if (!line.empty()) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    return lines;
}

std::string blankControlChars(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out.push_back(' ');
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out.push_back(' ');  // U+0080..U+009F
            ++i;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace zampo
