// The bytes of the session pipes ("\\.\Pipe\ZOV" of the client, "\\.\Pipe\ZOVINST" of a
// running setup), written the same way by both ends.
#pragma once

#include <cstdint>
#include <string>

namespace zov::pipe {

// A request: the command as 4 little-endian bytes, then a 4-byte text length of 0.
std::string request(std::uint32_t command);

// A reply: the answer up to its first NUL, cut to 255 characters, plus one NUL; nothing at
// all for an empty answer, which the asking side reads as "unknown".
std::string reply(const std::string& answer);

} // namespace zov::pipe
