#pragma once
// Captions of the ZAM tree, "name (code)", and what is read back from them: the
// code, the name, the order of the nodes and the lines of the details list.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logic/xml/xmlstore.h"

namespace zampo {

enum class ZamNodeLevel { Root, Location, Alarm };

// The caption of the tree's only root node.
inline constexpr std::string_view kZamRootCaption = "Zam";

// name + " (" + code + ")"
std::string zamCaption(std::string_view name, std::string_view code);
// The integer inside the last "(...)": "Pump (north) (3)" gives 3. 0 when there
// is none or it is not a number.
int captionCode(std::string_view caption);
// What stands before that "(", without the blank in front of it: "Pump (north)".
// Empty when the caption has no such "(".
std::string captionName(std::string_view caption);

// 1 when node 1 sorts after node 2, else -1 (equal keys too). Locations (and the
// root) by caption, byte by byte; alarms by code.
int compareZamNodes(ZamNodeLevel level1, std::string_view caption1, std::string_view caption2);
// The same order as a strict "less than", for sorting.
bool zamNodeSortsBefore(ZamNodeLevel level, std::string_view caption1, std::string_view caption2);

// The ZAM alarm reference of an alarm node, from its own and its location's caption.
std::string zamNodeAlarmRef(std::string_view locationCaption, std::string_view alarmCaption);

// Key and value lines for the details list; none for the root.
using DetailLines = std::vector<std::pair<std::string, std::string>>;
DetailLines zamNodeDetails(ZamNodeLevel level, std::string_view caption, std::string_view parentCaption,
                           const XmlDocument* zamDefs);

}  // namespace zampo
