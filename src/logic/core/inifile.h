#pragma once
// INI access by file name: every call opens the file, does one thing and closes it.
// Sections and keys match without regard to case; unknown lines are kept.
#include <string>

namespace zampo {

std::string iniReadString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def);
// The default when the key is missing or its value is not a whole number.
int iniReadInteger(const std::string& file, const std::string& section, const std::string& key, int def);
bool iniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
bool iniWriteInteger(const std::string& file, const std::string& section, const std::string& key, int value);

}  // namespace zampo
