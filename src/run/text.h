// Small text helpers shared by every step: case-insensitive comparisons and message filling.
#pragma once

#include <initializer_list>
#include <string>

namespace zov {

bool equalsNoCase(const std::string& a, const std::string& b);
bool containsNoCase(const std::string& text, const std::string& part);
bool startsWithNoCase(const std::string& text, const std::string& prefix);

// Fills a message text: each "%s", "%c" or "%d" takes the next argument as it stands, "%%"
// is a percent sign; the result is cut to the 1,023 characters a message buffer holds.
// The arguments are never read as formats, so a window title cannot steer the filling.
std::string formatText(const std::string& format, std::initializer_list<std::string> arguments);

} // namespace zov
