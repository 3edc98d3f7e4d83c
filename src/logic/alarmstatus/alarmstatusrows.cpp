#include "logic/alarmstatus/alarmstatusrows.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "logic/alarmstatus/alarmstatus.h"
#include "logic/forwarding/errormark.h"
#include "logic/forwarding/reportrule.h"
#include "logic/language/langtext.h"
#include "logic/linkconfig/linklookup.h"
#include "logic/linkconfig/zamdefs.h"

namespace zampo {

namespace {

constexpr ErrorMark kErrorMarks[] = {ErrorMark::Refused, ErrorMark::NotAccepted, ErrorMark::NoAnswer};

std::string errorMeaning(std::string_view code) {
    if (code == errorMarkText(ErrorMark::Refused)) return langText(TextId::ErrorRefusedSentAgain);
    if (code == errorMarkText(ErrorMark::NotAccepted)) return langText(TextId::ErrorNotAcceptedThrice);
    if (code == errorMarkText(ErrorMark::NoAnswer)) return langText(TextId::ErrorNoAnswer);
    return std::string(code);
}

// The ZAM alarms by reference: the locations indexed once per refresh instead of
// a walk through the definitions per row. The first of equal codes counts, as in findZamAlarm.
class ZamAlarms {
public:
    explicit ZamAlarms(const XmlDocument* zamDefs) {
        if (!zamDefs) return;
        for (pugi::xml_node location : zamDefs->root().children("Location"))
            locations_.emplace(location.attribute("Code").value(), location);
    }
    pugi::xml_node find(std::string_view reference) const {
        const ZamAlarmCodes codes = splitZamAlarmRef(reference);
        const auto it = locations_.find(codes.location);
        if (it == locations_.end()) return {};
        return it->second.find_child_by_attribute("Alarm", "Code", codes.alarm.c_str());
    }
    // The reference with the alarm's name, when the definitions give it one. Many
    // rows share a reference, so each is worked out once.
    const std::string& named(const std::string& reference) const {
        // Alarms of one location follow each other and mostly share their reference.
        if (last_ && last_->first == reference) return last_->second;
        auto [it, added] = named_.try_emplace(reference);
        if (added) {
            const char* name = find(reference).attribute("Name").value();
            it->second = *name ? reference + " " + name : reference;
        }
        last_ = &*it;
        return it->second;
    }

private:
    std::unordered_map<std::string, pugi::xml_node> locations_;
    mutable std::unordered_map<std::string, std::string> named_;
    mutable const std::pair<const std::string, std::string>* last_ = nullptr;
};

constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

// FNV-1a over text, its terminating NUL included so that "ab","c" and "a","bc" differ.
void addToHash(std::uint64_t& hash, const char* text) {
    do hash = (hash ^ static_cast<unsigned char>(*text)) * kFnvPrime;
    while (*text++);
}

// Everything the links are made of: the names of the elements in document order
// with their nesting, and their attributes. A row's link is the same as long as
// its element and this are.
void addDocumentToHash(std::uint64_t& hash, const XmlDocument* document) {
    if (!document) return addToHash(hash, "\x01none");
    const pugi::xml_node root = document->root();
    for (pugi::xml_node n = root; n;) {
        addToHash(hash, n.name());
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            addToHash(hash, a.name());
            addToHash(hash, a.value());
        }
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && n != root && !n.next_sibling()) {
            addToHash(hash, "\x01up");
            n = n.parent();
        }
        n = n == root ? pugi::xml_node() : n.next_sibling();
    }
}

// Texts every row shares, looked up once per build.
struct RowTexts {
    std::string active = langText(TextId::StatusActive);
    std::string reset = langText(TextId::StatusReset);
    std::string noLink = langText(TextId::StatusNoLink);
    std::string group = langText(TextId::StatusGroupAlarm);
};

// Where every element's hash starts: rows built under other texts (another
// language) or other definitions are not taken over.
std::uint64_t buildSeed(const RowTexts& texts, const XmlDocument* linkDefs, const XmlDocument* zamDefs) {
    std::uint64_t seed = 0xcbf29ce484222325ULL;
    for (const std::string* text : {&texts.active, &texts.reset, &texts.noLink, &texts.group})
        addToHash(seed, text->c_str());
    for (ErrorMark mark : kErrorMarks) addToHash(seed, errorMeaning(errorMarkText(mark)).c_str());
    addDocumentToHash(seed, linkDefs);
    addDocumentToHash(seed, zamDefs);
    return seed;
}

// What a row reads of an element, gathered in one pass over its attributes.
struct ElementAttributes {
    const char *pcu = "", *location = "", *nr = "", *text = "", *state = "", *start = "", *sent = "", *error = "",
               *repeatAt = "", *group = "";
    bool hasSent = false;
    // Of every attribute, names and values: equal for an element that did not change.
    std::uint64_t hash;
    ElementAttributes(pugi::xml_node e, std::uint64_t seed) : hash(seed) {
        for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            addToHash(hash, name);
            addToHash(hash, a.value());
            const char** field = fieldFor(name);
            if (!field) continue;
            *field = a.value();
            if (field == &sent) hasSent = true;
        }
    }

private:
    const char** fieldFor(const char* name) {
        auto is = [name](const char* n) { return std::strcmp(name, n) == 0; };
        switch (name[0]) {  // one comparison per attribute, not one per name
            case 'p':
                return is("pcu") ? &pcu : nullptr;
            case 'l':
                return is("location") ? &location : nullptr;
            case 'n':
                return is("nr") ? &nr : nullptr;
            case 't':
                return is("text") ? &text : nullptr;
            case 's':
                return is("start") ? &start : nullptr;
            case 'S':
                return is("State") ? &state : is("Sent") ? &sent : nullptr;
            case 'E':
                return is("Error") ? &error : nullptr;
            case 'r':
                return is("repeat_at") ? &repeatAt : nullptr;
            case 'G':
                return is("Group") ? &group : nullptr;
            default:
                return nullptr;
        }
    }
};

std::optional<TimeMs> stamp(const char* text) {
    const auto t = parseStatusTime(text);
    if (t && *t > statusTimeZero()) return t;
    return std::nullopt;
}

void fillCommon(AlarmStatusRow& row, pugi::xml_node e, const ElementAttributes& a, const RowTexts& texts, TimeMs now) {
    row.active = std::strcmp(a.state, kAlarmActive) == 0;
    row.stateText = row.active ? texts.active : texts.reset;
    row.toReport = reportDue(e, now) != ReportDue::Nothing;
    row.error = a.error;
    if (!row.error.empty()) row.errorText = errorMeaning(row.error);
    if (row.active && *a.repeatAt) row.nextRepeat = stamp(a.repeatAt);
}

// Empties the row for its next element; its strings keep their storage, which is
// what makes building every row again cheap.
void recycle(AlarmStatusRow& row) {
    static constexpr std::string AlarmStatusRow::*kStrings[] = {
        &AlarmStatusRow::pcu,       &AlarmStatusRow::location, &AlarmStatusRow::nr,
        &AlarmStatusRow::text,      &AlarmStatusRow::zamAlarm, &AlarmStatusRow::zamGroup,
        &AlarmStatusRow::stateText, &AlarmStatusRow::error,    &AlarmStatusRow::errorText};
    AlarmStatusRow fresh;
    for (auto member : kStrings) {
        fresh.*member = std::move(row.*member);
        (fresh.*member).clear();
    }
    row = std::move(fresh);
}

// The row's own part: what the element says and what is due at now.
void fillAlarmRow(AlarmStatusRow& row, pugi::xml_node e, const ElementAttributes& a, const RowTexts& texts,
                  TimeMs now) {
    row.elementHash = a.hash;
    row.pcu = a.pcu;
    row.location = a.location;
    row.nr = a.nr;
    row.text = a.text;
    fillCommon(row, e, a, texts, now);
    row.since = stamp(a.start);
    if (!row.toReport) row.reportedAt = stamp(a.sent);
}

// A row taken over from the build before, link included: its element, the texts
// and the definitions are what they were. Only a repeat falls due by time alone.
void takeOverAlarmRow(AlarmStatusRow& row, const AlarmStatusRow& before, pugi::xml_node e, const ElementAttributes& a,
                      TimeMs now) {
    row = before;  // the strings keep their storage
    if (row.active && row.nextRepeat) {
        row.toReport = reportDue(e, now) != ReportDue::Nothing;
        row.reportedAt = row.toReport ? std::nullopt : stamp(a.sent);
    }
}

// The definitions indexed, each at the first row that needs it: when every alarm
// row is taken over, the link definitions are not indexed at all.
class Lookups {
public:
    Lookups(const XmlDocument* linkDefs, const XmlDocument* zamDefs) : linkDefs_(linkDefs), zamDefs_(zamDefs) {}
    const ZamAlarms& zam() {
        if (!zam_) zam_.emplace(zamDefs_);
        return *zam_;
    }
    const LinkIndex* links() {
        if (!links_ && linkDefs_ && zamDefs_) links_.emplace(*linkDefs_);
        return links_ ? &*links_ : nullptr;
    }

private:
    const XmlDocument *linkDefs_, *zamDefs_;
    std::optional<ZamAlarms> zam_;
    std::optional<LinkIndex> links_;
};

void fillAlarmLink(AlarmStatusRow& row, const ElementAttributes& a, Lookups& lookups, const RowTexts& texts) {
    const LinkIndex* links = lookups.links();
    const Link link = links ? links->findForAlarm(a.pcu, a.location, a.nr) : Link{};
    const ZamAlarms& zam = lookups.zam();
    row.linked = link.found;
    row.zamAlarm = link.found ? zam.named(link.zamLocation + " - " + link.zamInput) : texts.noLink;
    if (!link.groupLocation.empty())
        row.zamGroup = zam.named(link.groupLocation + " - " + link.groupInput);
    else
        row.zamGroup = a.group;  // as sent, when the link has changed since
}

// The rows of the build before, found again by their element's hash: in the
// same order usually, through an index once elements came or went.
class EarlierRows {
public:
    explicit EarlierRows(const std::vector<AlarmStatusRow>& rows) : rows_(rows) {}
    const AlarmStatusRow* find(std::uint64_t hash) {
        if (next_ < rows_.size() && !rows_[next_].group && rows_[next_].elementHash == hash) return &rows_[next_++];
        if (!indexed_) {
            for (std::size_t i = 0; i < rows_.size(); ++i)
                if (!rows_[i].group) byHash_.try_emplace(rows_[i].elementHash, i);
            indexed_ = true;
        }
        const auto it = byHash_.find(hash);
        if (it == byHash_.end()) return nullptr;
        next_ = it->second + 1;
        return &rows_[it->second];
    }

private:
    const std::vector<AlarmStatusRow>& rows_;
    std::size_t next_ = 0;
    bool indexed_ = false;
    std::unordered_map<std::uint64_t, std::size_t> byHash_;
};

void fillGroupRow(AlarmStatusRow& row, pugi::xml_node e, const ElementAttributes& a, const ZamAlarms& zam,
                  const RowTexts& texts, TimeMs now) {
    row.group = true;
    row.elementHash = a.hash;
    row.location = texts.group;
    row.text = e.attribute("Text").value();
    const std::string reference = e.attribute("ZamAlarm").value();
    row.zamGroup = zam.named(reference);
    row.linked = true;
    fillCommon(row, e, a, texts, now);
    if (const auto timeout = stamp(e.attribute("Timeout").value())) {
        // As getGroupDelay reads it: whole non-negative seconds, else none.
        const long long delay = std::max(0LL, zam.find(reference).attribute("GroupDelay").as_llong(0));
        row.since = *timeout - std::chrono::seconds(delay);
        if (row.active && !a.hasSent && *timeout > now) {
            row.delayLeftSeconds = std::chrono::ceil<std::chrono::seconds>(*timeout - now).count();
            row.toReport = true;  // goes out once the delay has passed
        }
    }
    row.reportedAt = stamp(a.sent);
}

}  // namespace

std::vector<AlarmStatusRow> buildAlarmStatusRows(const XmlDocument* alarmStatus, const XmlDocument* linkDefs,
                                                 const XmlDocument* zamDefs, TimeMs now) {
    std::vector<AlarmStatusRow> rows;
    buildAlarmStatusRows(alarmStatus, linkDefs, zamDefs, now, rows, {});
    return rows;
}

void buildAlarmStatusRows(const XmlDocument* alarmStatus, const XmlDocument* linkDefs, const XmlDocument* zamDefs,
                          TimeMs now, std::vector<AlarmStatusRow>& rows, const std::vector<AlarmStatusRow>& earlier) {
    std::size_t count = 0;
    const pugi::xml_node root = alarmStatus ? alarmStatus->root() : pugi::xml_node();
    if (root && std::strcmp(root.name(), kAlarmStatusFile.rootName) == 0) {
        const RowTexts texts;
        const std::uint64_t seed = buildSeed(texts, linkDefs, zamDefs);
        Lookups lookups(linkDefs, zamDefs);
        EarlierRows before(earlier);
        auto nextRow = [&](bool recycled) -> AlarmStatusRow& {
            if (count == rows.size())
                rows.emplace_back();
            else if (recycled)
                recycle(rows[count]);
            return rows[count++];
        };
        for (pugi::xml_node e : root.children()) {
            if (std::strcmp(e.name(), "Alarm") == 0) {
                const ElementAttributes a(e, seed);
                const AlarmStatusRow* same = before.find(a.hash);
                AlarmStatusRow& row = nextRow(!same);
                if (same) {
                    takeOverAlarmRow(row, *same, e, a, now);
                } else {
                    fillAlarmRow(row, e, a, texts, now);
                    fillAlarmLink(row, a, lookups, texts);
                }
            } else if (std::strcmp(e.name(), "Group") == 0) {
                // Few, and their delay runs with time: always read anew.
                fillGroupRow(nextRow(true), e, ElementAttributes(e, seed), lookups.zam(), texts, now);
            }
        }
    }
    rows.resize(count);
}

AlarmStatusCounts countAlarmStatusRows(const std::vector<AlarmStatusRow>& rows) {
    AlarmStatusCounts counts;
    for (const AlarmStatusRow& row : rows) {
        ++(row.active ? counts.active : counts.reset);
        if (row.toReport) ++counts.toReport;
    }
    return counts;
}

}  // namespace zampo
