#pragma once
// ZamMeld is a Windows program that reads and writes 8-bit text in the Western
// code page (Windows-1252). The gateway holds UTF-8; these convert at the socket.
#include <string>
#include <string_view>

namespace zampo {

// UTF-8 to Windows-1252 bytes. ASCII passes unchanged; control characters become
// blanks; a character the code page lacks, or a malformed byte, becomes '?'.
std::string encodeForWire(std::string_view utf8);

// Windows-1252 bytes to UTF-8; the five unassigned bytes keep their C1 code points.
std::string decodeFromWire(std::string_view bytes);

}  // namespace zampo
