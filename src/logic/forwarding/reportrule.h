#pragma once
// Whether the element walk must send for an element of the alarm status now.
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "logic/core/clock.h"

namespace zampo {

// What the element walk would send for an element at time now: its change (a
// raise or reset of an Alarm, a Group whose delay ran out), a repeat that is due,
// or nothing (a Group still within its delay among them).
enum class ReportDue { Nothing, Change, Repeat };
ReportDue reportDue(pugi::xml_node element, TimeMs now);

// The same for the walk, which logs an Alarm whose start cannot be read: such an
// alarm is reported once, when its start differs from Sent.
ReportDue reportDue(pugi::xml_node element, TimeMs now, std::vector<std::string>& log);

}  // namespace zampo
