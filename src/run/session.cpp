#include "run/session.h"

#include <cctype>

namespace zov {

void splitBuild(const std::string& build, std::string& superBuild, std::string& subBuild, char& revision) {
    std::size_t dot = build.find('.');
    superBuild = build.substr(0, dot);
    subBuild.clear();
    revision = '\0';
    if (dot == std::string::npos)
        return;
    std::size_t p = dot + 1;
    while (p < build.size() && std::isdigit(static_cast<unsigned char>(build[p])))
        subBuild += build[p++];
    if (p < build.size() && std::isalpha(static_cast<unsigned char>(build[p])))
        revision = build[p];
}

std::string uniqueDirectory(const std::string& directory,
                            const std::function<bool(const std::string&)>& exists) {
    constexpr std::size_t kMaxPath = 259;
    std::string tried = directory;
    for (std::string prefix; directory.size() + prefix.size() + 1 <= kMaxPath; prefix += 'a') {
        for (char letter = 'a'; letter <= 'z'; ++letter) {
            tried = directory + prefix + letter;
            if (!exists(tried))
                return tried;
        }
    }
    return tried;
}

} // namespace zov
