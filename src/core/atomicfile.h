#pragma once
#include <string>
#include <string_view>

namespace zampo {

// Writes data to a temporary file beside path, flushes it to disk and renames it
// over path. On any failure the old file stays as it was and error says why.
bool writeFileAtomically(const std::string& path, std::string_view data, std::string* error = nullptr);

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& out);

}  // namespace zampo
