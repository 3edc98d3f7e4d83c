#pragma once
// LinkDefs.xml has two writers: the operator's edits in the window's thread and
// the definitions merge in the fetch worker. Each holds this mutex around its
// whole read-change-save, so neither overwrites what the other just saved.
#include <mutex>

namespace zampo {

std::mutex& linkDefsFileMutex();

}  // namespace zampo
