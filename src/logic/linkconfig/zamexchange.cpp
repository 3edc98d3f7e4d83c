#include "logic/linkconfig/zamexchange.h"

#include <algorithm>
#include <cstring>

#include "logic/encoding/encoding.h"
#include "logic/encoding/textrules.h"
#include "logic/linkconfig/zamitems.h"
#include "logic/xml/xmlnodes.h"

namespace zampo {

namespace {

constexpr const char* kZamRoot = "ZamAlarmDefinitions";

struct Entry {
    pugi::xml_node node;
    bool usable = false;  // has Code and Name
    long long code = 0;
};

Entry entryOf(pugi::xml_node node) {
    Entry e{node};
    const pugi::xml_attribute code = node.attribute("Code");
    e.usable = code && node.attribute("Name");
    // A value beyond any code's range saturates, so that it is simply out of range.
    if (code) e.code = parseDecimal(code.value(), true).value_or(0);
    return e;
}

std::string describe(pugi::xml_node node) {
    std::string text = "<";
    text += node.name();
    for (const char* attr : {"Code", "Name"}) {
        if (!node.attribute(attr)) continue;
        text += ' ';
        text += attr;
        text += "=\"";
        text += node.attribute(attr).value();
        text += '"';
    }
    return text + ">";
}

// The first location or alarm entry whose Code is not a whole number.
pugi::xml_node firstBadCode(pugi::xml_node root) {
    auto bad = [](pugi::xml_node n) {
        const pugi::xml_attribute code = n.attribute("Code");
        return code && !parseDecimal(code.value(), true);
    };
    for (pugi::xml_node location : root.children()) {
        if (!isElement(location)) continue;
        if (bad(location)) return location;
        for (pugi::xml_node alarm : location.children())
            if (isElement(alarm) && bad(alarm)) return alarm;
    }
    return {};
}

std::size_t lineAt(std::string_view text, std::ptrdiff_t offset) {
    const auto end = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(offset, 0, std::ptrdiff_t(text.size())));
    return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + std::ptrdiff_t(end), '\n'));
}

const std::string* systemAlarmName(long long locationCode, long long alarmCode, const SystemAlarmNames& names) {
    if (locationCode != kSystemLocationCode) return nullptr;
    switch (alarmCode) {
        case 5:
            return &names.alarm5;
        case 8:
            return &names.alarm8;
        case 9:
            return &names.alarm9;
        default:
            return nullptr;
    }
}

void mergeAlarm(pugi::xml_node target, const Entry& location, const Entry& alarm, const SystemAlarmNames& names) {
    const char* code = alarm.node.attribute("Code").value();
    const std::string* systemName = systemAlarmName(location.code, alarm.code, names);
    pugi::xml_node existing = searchNode(target, "Alarm", {"Code"}, {code});
    if (existing) {
        if (!systemName) setAttr(existing, "Name", alarm.node.attribute("Name").value());
        return;
    }
    pugi::xml_node added = target.append_child("Alarm");
    setAttr(added, "Code", code);
    setAttr(added, "Name", systemName ? systemName->c_str() : alarm.node.attribute("Name").value());
}

}  // namespace

bool buildZamExchange(const XmlDocument& zamDefs, std::string& text) {
    const pugi::xml_node defs = searchNode(zamDefs.dom(), kZamRoot);
    if (!defs) return false;
    XmlDocument exchange;
    exchange.startAfresh(kExchangeRoot);
    pugi::xml_node root = exchange.root();
    for (pugi::xml_node location : defs.children()) {
        if (!isElement(location)) continue;
        pugi::xml_node l = root.append_child("Location");
        setAttr(l, "Code", location.attribute("Code").value());
        setAttr(l, "Name", location.attribute("Name").value());
        for (pugi::xml_node alarm : location.children()) {
            if (!isElement(alarm)) continue;
            pugi::xml_node a = l.append_child("Alarm");
            setAttr(a, "Code", alarm.attribute("Code").value());
            setAttr(a, "Name", alarm.attribute("Name").value());
        }
    }
    text = exchange.toText();
    return true;
}

ImportResult importZamDefinitions(XmlDocument& zamDefs, std::string_view exchangeBytes, const SystemAlarmNames& names) {
    // ZAM-Pro exports usually declare windows-1252; the parser alone would keep
    // those bytes as broken UTF-8 and a later save would damage the names for good.
    const std::string text = xmlBytesToUtf8(exchangeBytes);
    pugi::xml_document file;
    const pugi::xml_parse_result parsed =
        file.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_utf8);
    if (!parsed) {
        return {ImportStatus::NotWellFormed,
                "line " + std::to_string(lineAt(text, parsed.offset)) + ": " + parsed.description()};
    }
    const pugi::xml_node root = topElement(file);
    if (!root || std::strcmp(root.name(), kExchangeRoot) != 0) return {ImportStatus::WrongRoot, root.name()};
    if (pugi::xml_node bad = firstBadCode(root)) return {ImportStatus::CodeNotWholeNumber, describe(bad)};

    const pugi::xml_node defsRoot = zamDefs.root();
    pugi::xml_node top = topElement(zamDefs.dom());
    const bool canAppend = top && std::strcmp(top.name(), kZamRoot) == 0;
    for (pugi::xml_node node : root.children()) {
        if (!isElement(node)) continue;
        const Entry location = entryOf(node);
        const pugi::xml_attribute code = node.attribute("Code");
        if (location.usable && location.code >= 1 && location.code <= kMaxLocationCode) {
            pugi::xml_node existing = searchNode(defsRoot, "Location", {"Code"}, {code.value()});
            if (existing) {
                setAttr(existing, "Name", node.attribute("Name").value());
            } else if (canAppend) {
                pugi::xml_node added = top.append_child("Location");
                setAttr(added, "Code", code.value());
                setAttr(added, "Name", node.attribute("Name").value());
            }
        }
        // The alarms go to the location with this code, whether or not the entry
        // itself was taken; without such a location they have nowhere to go.
        const pugi::xml_node target =
            code ? searchNode(defsRoot, "Location", {"Code"}, {code.value()}) : pugi::xml_node();
        if (!target) continue;
        for (pugi::xml_node child : node.children()) {
            if (!isElement(child)) continue;
            const Entry alarm = entryOf(child);
            if (alarm.usable && alarm.code >= 1 && alarm.code <= kMaxAlarmCode)
                mergeAlarm(target, location, alarm, names);
        }
    }
    return {};
}

}  // namespace zampo
