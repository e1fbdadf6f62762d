#include "run/text.h"

#include <algorithm>
#include <cctype>

namespace zov {
namespace {

constexpr std::size_t kMessageLimit = 1023;

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool containsNoCase(const std::string& text, const std::string& part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char x, char y) { return lower(x) == lower(y); }) != text.end();
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string formatText(const std::string& format, std::initializer_list<std::string> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (std::size_t i = 0; i < format.size() && out.size() < kMessageLimit; ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if (kind == 's' || kind == 'c' || kind == 'd') {
            if (next != arguments.end())
                out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    if (out.size() > kMessageLimit)
        out.resize(kMessageLimit);
    return out;
}

} // namespace zov
