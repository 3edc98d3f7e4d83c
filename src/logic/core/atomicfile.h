#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zampo {

// Writes data to a temporary file beside path, flushes it to disk and renames it
// over path. On any failure the old file stays as it was and error says why.
// An existing file keeps its permissions (a new one gets 0644); when path is a
// symbolic link, the file it points to is replaced and the link stays.
bool writeFileAtomically(const std::string& path, std::string_view data, std::string* error = nullptr);

// Removes from dir the temporary files that a save killed half-way left behind
// ("<name>.zampo-tmp-XXXXXX"); nothing else. Returns the names removed.
std::vector<std::string> removeStaleTemporaryFiles(const std::string& dir);

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& out);

}  // namespace zampo
