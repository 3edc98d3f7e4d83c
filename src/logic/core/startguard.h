#pragma once
// What both programs check before anything else: one gateway per runtime directory
// (a second start ends at once, quietly), and a ZAM data directory that can hold
// the log and the settings.
#include <functional>
#include <optional>
#include <string>

#include "logic/core/datapaths.h"
#include "logic/core/singleinstance.h"

namespace zampo {

// The exit code to end with, or nothing when the program may go on. program
// names it in the message on standard error. The process takes forwarding for the
// PO data directory; with editor given (the window), a service that already
// forwards for it sets *editor instead of ending the start. A forwarding lock that
// cannot be taken at all ends the service's start (exit 1) and makes the window an
// editor, with the reason in *editorReason.
std::optional<int> refuseStart(SingleInstanceLock& lock, ForwardingLock& forwarding, DataPaths& paths,
                               const char* program, bool* editor = nullptr, std::string* editorReason = nullptr);

// What to do about a data directory that cannot be used: a drop-in allowing it
// when the file system is read-only (a service's sandbox), else where to set
// another. Lines ending in a newline.
std::string dataDirHint(DataPaths& paths, const std::string& dir);

// Root starting the gateway for a data directory of another account would leave
// files that account cannot write (the log, the settings, the locks): the exit
// code with a message naming the account to run it as, else nothing. Touches no file.
std::optional<int> refuseWrongOwner(DataPaths& paths, const char* program);

inline constexpr const char* kServiceProgram = "zampo-gateway";

// Runs the program; an error that escapes it (only what comes before the start-up
// steps or after the event loop can) goes to standard error and the log, exit 1.
int runReportingErrors(const char* program, const std::function<int()>& run);

}  // namespace zampo
