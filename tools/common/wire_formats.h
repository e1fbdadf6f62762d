// The two small wire formats the tools speak: the session pipe's request and reply, and
// a trace line carried by WM_COPYDATA.
#pragma once

#include "protocol/contract.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zov::tools {

// Pipe "\\.\Pipe\ZOV": a request is a 4-byte little-endian command, a 4-byte length and
// that many bytes of text; a reply is the answer's text plus one NUL, at most 256 bytes,
// or nothing at all when the answer is unknown.
inline constexpr std::size_t kPipeMessageMax = pipe::kMessageMax;
inline constexpr std::uint32_t kPipeUserName = pipe::kCommandUserName;
inline constexpr std::uint32_t kPipeAppTitle = pipe::kCommandTitle;

// The command of a request; none for an empty one. A request shorter than the command
// field is read by its first byte, as the setup's own server reads it.
std::optional<std::uint32_t> pipeCommand(const unsigned char* data, std::size_t size);
std::string pipeRequest(std::uint32_t command); // the 8 bytes of a request without text
// The reply's bytes: text cut to 255 characters plus NUL; empty for an empty answer.
std::string pipeReply(const std::string& answer);
std::string pipeAnswer(std::uint32_t command, const std::string& userName, const std::string& appTitle);

// The text of a WM_COPYDATA line: up to the first NUL, never past cbData, and never more
// than kTraceTextMax characters (the setup sends at most 1023).
inline constexpr std::size_t kTraceTextMax = 64 * 1024;
std::string copyDataText(const void* data, std::size_t size);
// The line as the monitor stores it: without the line ends some senders append, unless
// raw is asked for. The stored line always gets its own CRLF.
std::string monitorLine(const std::string& text, bool raw);

} // namespace zov::tools
