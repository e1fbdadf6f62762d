// The program's arguments as the Windows C runtime split them, without the program name.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace zov::tools {

inline std::vector<std::string> programArguments() {
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i)
        args.emplace_back(__argv[i] != nullptr ? __argv[i] : "");
    return args;
}

} // namespace zov::tools
