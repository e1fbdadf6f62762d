#include "common/wire_formats.h"

#include "protocol/pipe_wire.h"

#include <algorithm>
#include <cstring>

namespace zov::tools {

std::optional<std::uint32_t> pipeCommand(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size == 0)
        return std::nullopt;
    if (size < 4)
        return data[0];
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

std::string pipeRequest(std::uint32_t command) {
    return pipe::request(command);
}

std::string pipeReply(const std::string& answer) {
    return pipe::reply(answer);
}

std::string pipeAnswer(std::uint32_t command, const std::string& userName, const std::string& appTitle) {
    switch (command) {
    case kPipeUserName:
        return pipeReply(userName);
    case kPipeAppTitle:
        return pipeReply(appTitle);
    default:
        return {};
    }
}

std::string copyDataText(const void* data, std::size_t size) {
    if (data == nullptr || size == 0)
        return {};
    const char* text = static_cast<const char*>(data);
    std::size_t limit = std::min(size, kTraceTextMax);
    const void* nul = std::memchr(text, '\0', limit);
    std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : limit;
    return std::string(text, length);
}

std::string monitorLine(const std::string& text, bool raw) {
    if (raw)
        return text;
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    return text.substr(0, end);
}

} // namespace zov::tools
