#include "common/tool_options.h"

#include "common/engine_logic.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace zov::tools {

namespace {

// "-Name" or "/name" → "name"; anything else → "".
std::string optionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
        return {};
    std::string name = arg.substr(1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

// The count that follows an option; a missing or malformed one leaves `target` alone
// and is not consumed, so that the next option still counts.
void takeCount(const std::vector<std::string>& args, std::size_t& i, unsigned& target) {
    if (i + 1 >= args.size())
        return;
    auto value = parseInteger(args[i + 1]);
    if (!value)
        return;
    ++i;
    if (*value >= 0)
        target = static_cast<unsigned>(std::min<long long>(*value, UINT_MAX));
}

bool takeText(const std::vector<std::string>& args, std::size_t& i, std::string& target) {
    if (i + 1 >= args.size())
        return false;
    target = args[++i];
    return true;
}

} // namespace

ClientOptions parseClientOptions(const std::vector<std::string>& args) {
    ClientOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = optionName(args[i]);
        if (name == "16bit")
            options.sixteenBit = true;
        else if (name == "exitdelay")
            takeCount(args, i, options.exitDelayMs);
        else if (name == "variant")
            options.sign = ClientSign::Variant;
        else if (name == "sibling")
            options.sign = ClientSign::Sibling;
        else if (name == "uninstaller")
            options.sign = ClientSign::Uninstaller;
        else if (name == "noexit")
            options.noExit = true;
        else if (name == "lifetime")
            takeCount(args, i, options.lifetimeMs);
        else if (name == "apptitle")
            takeText(args, i, options.appTitle);
        else if (name == "username") {
            std::string user;
            if (takeText(args, i, user))
                options.userName = user;
        }
    }
    return options;
}

MonitorOptions parseMonitorOptions(const std::vector<std::string>& args) {
    MonitorOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = optionName(args[i]);
        if (name == "o")
            takeText(args, i, options.outputFile);
        else if (name == "hang-after")
            takeCount(args, i, options.hangAfter);
        else if (name == "exit-after")
            takeCount(args, i, options.exitAfter);
        else if (name == "raw")
            options.raw = true;
        else if (name == "with-sender")
            options.withSender = true;
        else if (name == "stamp")
            options.stamp = true;
    }
    return options;
}

} // namespace zov::tools
