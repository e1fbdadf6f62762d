#include "app/command_line.h"

#include <array>

namespace zov {
namespace {

bool isTokenEnd(char c) {
    return c == '"' || c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\r' || c == '\f';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\r' || c == '\f';
}

constexpr std::array<const char*, 5> kSlashFlags = {"/s", "/notlbar", "/nodskbr", "/oem1", "/oem2"};
constexpr std::array<const char*, 13> kDashFlags = {"-a", "-d", "-e", "-eu", "-f", "-j", "-k",
                                                    "-m", "-n", "-p", "-t",  "-u", "-z"};
constexpr std::array<const char*, 6> kDashValued = {"-?", "-b", "-g", "-h", "-o", "-v"};

template <std::size_t N> bool contains(const std::array<const char*, N>& names, const std::string& token) {
    for (const char* name : names)
        if (token == name)
            return true;
    return false;
}

} // namespace

bool CommandLineParser::parse(std::string_view line) {
    line_ = std::string(line);
    table_.clear();
    if (line_.empty())
        return true;
    if (line_[0] != '-' && line_[0] != '/')
        return true;
    std::size_t pos = line_.find_first_of("-/");
    while (pos != std::string::npos) {
        std::string token = extractToken(pos);
        if (token.size() < kTokenBuffer) {
            if (line_[pos] == '/')
                handleSlashSwitch(pos, token);
            else
                handleDashSwitch(pos, token);
        }
        // An over-long token cannot be any switch of the table: it is dropped whole.
        pos = line_.find_first_of("-/", pos + 1);
    }
    return true;
}

std::optional<std::string> CommandLineParser::value(const std::string& name) const {
    auto it = table_.find(name);
    if (it == table_.end())
        return std::nullopt;
    return it->second.flag ? std::string() : it->second.argument;
}

std::string CommandLineParser::extractToken(std::size_t pos) const {
    std::size_t end = pos + 1;
    while (end < line_.size() && !isTokenEnd(line_[end]))
        ++end;
    return line_.substr(pos, end - pos);
}

std::string CommandLineParser::extractArgument(std::size_t tokenEnd, std::size_t nextSwitch) const {
    std::size_t p = tokenEnd;
    if (p >= line_.size())
        return {};
    if (line_[p] != '"') {
        ++p; // the one delimiter after the token
        while (p < line_.size() && isBlank(line_[p]))
            ++p;
        if (p >= line_.size() || p == nextSwitch)
            return {};
    }
    if (line_[p] == '"') {
        std::size_t close = line_.find('"', p + 1);
        if (close == std::string::npos)
            return {};
        return line_.substr(p + 1, close - p - 1);
    }
    std::size_t end = p;
    while (end < line_.size() && !isTokenEnd(line_[end]))
        ++end;
    return line_.substr(p, end - p);
}

std::string CommandLineParser::argumentAfter(std::size_t pos, const std::string& token) const {
    std::size_t tokenEnd = pos + token.size();
    std::size_t next = line_.find_first_of("-/", pos + 1);
    return extractArgument(tokenEnd, next == std::string::npos ? line_.size() + 1 : next);
}

bool CommandLineParser::storeArgument(const std::string& name, const std::string& argument) {
    // Cutting a path could send the install somewhere nobody asked for. A line end (only a
    // quoted argument can hold one) is in no path or screen name, and in install.ini it
    // would start a key or section of its own.
    if (argument.size() >= kArgumentBuffer ||
        argument.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        table_.erase(name);
        return false;
    }
    table_[name] = Entry{false, argument};
    return true;
}

bool InstallerCommandLine::handleSlashSwitch(std::size_t pos, const std::string& token) {
    if (contains(kSlashFlags, token)) {
        storeFlag(token);
        return true;
    }
    if (token == "/x")
        return storeArgument(token, argumentAfter(pos, token));
    return false;
}

bool InstallerCommandLine::handleDashSwitch(std::size_t pos, const std::string& token) {
    if (token.size() >= 3 && token[1] == 'v') {
        std::string rest = token.substr(2);
        if (driveExists_ && driveExists_(rest + ":\\"))
            return storeArgument("-v", rest);
    }
    if (contains(kDashFlags, token)) {
        storeFlag(token);
        return true;
    }
    if (contains(kDashValued, token))
        return storeArgument(token, argumentAfter(pos, token));
    return false;
}

} // namespace zov

namespace zov {

std::string withoutProgramName(std::string_view full) {
    std::size_t p = 0;
    if (!full.empty() && full[0] == '"') {
        std::size_t close = full.find('"', 1);
        p = close == std::string_view::npos ? full.size() : close + 1;
    } else {
        while (p < full.size() && full[p] != ' ' && full[p] != '\t')
            ++p;
    }
    while (p < full.size() && (full[p] == ' ' || full[p] == '\t'))
        ++p;
    return std::string(full.substr(p));
}

} // namespace zov
