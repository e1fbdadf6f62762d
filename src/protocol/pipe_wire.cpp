#include "protocol/pipe_wire.h"

#include "protocol/contract.h"

namespace zov::pipe {

std::string request(std::uint32_t command) {
    std::string bytes(8, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((command >> (8 * i)) & 0xFF);
    return bytes;
}

std::string reply(const std::string& answer) {
    std::string text = answer.substr(0, answer.find('\0'));
    if (text.empty())
        return {};
    if (text.size() > kMessageMax - 1)
        text.resize(kMessageMax - 1);
    text.push_back('\0');
    return text;
}

} // namespace zov::pipe
