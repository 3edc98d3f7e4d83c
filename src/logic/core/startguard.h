#pragma once
// What both programs check before anything else: one gateway per runtime directory
// (a second start ends at once, quietly), and a ZAM data directory that can hold
// the log and the settings.
#include <optional>

#include "logic/core/datapaths.h"
#include "logic/core/singleinstance.h"

namespace zampo {

// The exit code to end with, or nothing when the program may go on. program
// names it in the message on standard error.
std::optional<int> refuseStart(SingleInstanceLock& lock, DataPaths& paths, const char* program);

}  // namespace zampo
