#include "logic/grid/zamcaptions.h"

#include <charconv>

#include "logic/encoding/encoding.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linkdefs.h"
#include "logic/linkconfig/zamdefs.h"

namespace zampo {

namespace {

struct CodeSpan {
    std::size_t open = std::string_view::npos;  // the "(" that ends the scan from the end
    std::size_t close = std::string_view::npos;
};

CodeSpan codeSpan(std::string_view caption) {
    CodeSpan span;
    span.close = caption.rfind(')');
    if (span.close == std::string_view::npos || span.close == 0) return span;
    span.open = caption.rfind('(', span.close - 1);
    return span;
}

// The text without its last character, a UTF-8 sequence counted whole.
std::string withoutLastCharacter(std::string_view text) {
    const std::size_t chars = utf8CharCount(text);
    return chars == 0 ? std::string() : utf8Prefix(text, chars - 1);
}

}  // namespace

std::string zamCaption(std::string_view name, std::string_view code) {
    std::string caption(name);
    caption += " (";
    caption += code;
    caption += ')';
    return caption;
}

int captionCode(std::string_view caption) {
    const CodeSpan span = codeSpan(caption);
    if (span.open == std::string_view::npos) return 0;
    std::string_view digits = caption.substr(span.open + 1, span.close - span.open - 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+') return 0;
    int code = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    return ec == std::errc{} && end == digits.data() + digits.size() ? code : 0;
}

std::string captionName(std::string_view caption) {
    const CodeSpan span = codeSpan(caption);
    if (span.open == std::string_view::npos || span.open == 0) return {};
    return withoutLastCharacter(caption.substr(0, span.open));
}

int compareZamNodes(ZamNodeLevel level1, std::string_view caption1, std::string_view caption2) {
    if (level1 == ZamNodeLevel::Alarm) return captionCode(caption1) > captionCode(caption2) ? 1 : -1;
    return caption1 > caption2 ? 1 : -1;
}

bool zamNodeSortsBefore(ZamNodeLevel level, std::string_view caption1, std::string_view caption2) {
    if (level == ZamNodeLevel::Alarm) return captionCode(caption1) < captionCode(caption2);
    return caption1 < caption2;
}

std::string zamNodeAlarmRef(std::string_view locationCaption, std::string_view alarmCaption) {
    return zamAlarmRef(captionCode(locationCaption), captionCode(alarmCaption));
}

DetailLines zamNodeDetails(ZamNodeLevel level, std::string_view caption, std::string_view parentCaption,
                           const XmlDocument* zamDefs) {
    DetailLines lines;
    if (level == ZamNodeLevel::Root) return lines;
    const bool alarm = level == ZamNodeLevel::Alarm;
    lines.emplace_back(langText(TextId::DetailsType),
                       alarm ? langText(TextId::NewAlarmName) : langText(TextId::NewLocationName));
    lines.emplace_back(langText(TextId::DetailsNumber), std::to_string(captionCode(caption)));
    lines.emplace_back(langText(TextId::DetailsDescription), captionName(caption));
    if (alarm) {
        const std::string reference = zamNodeAlarmRef(parentCaption, caption);
        const int delay = zamDefs ? getGroupDelay(*zamDefs, reference) : 0;
        const int repeat = zamDefs ? getRepeat(*zamDefs, reference) : 0;
        lines.emplace_back(langText(TextId::GroupDelay), std::to_string(delay) + " " + langText(TextId::Seconds));
        lines.emplace_back(langText(TextId::RepeatInterval, "Repeat"),
                           std::to_string(repeat) + " " + langText(TextId::Minutes));
    }
    return lines;
}

}  // namespace zampo
