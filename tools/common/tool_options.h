// Command lines of the stand-in client and the Trace Monitor, parsed into plain records.
// Options start with '-' or '/' and compare without regard to letter case; unknown ones
// are passed over, as a real client ignores switches meant for others.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zov::tools {

// The program the stand-in client plays, by the signs the setup knows it by.
enum class ClientSign {
    Client,     // the client itself
    Variant,    // -variant: the second client variant ("_ZOVT_AppMutex", the session pipe)
    Sibling,    // -sibling: the sibling service's client ("_Qtm_AppMutex", the session pipe)
    Uninstaller // -uninstaller: the uninstaller ("ZOVUninst", its "GLBSInstall" window)
};

struct ClientOptions {
    bool sixteenBit = false;  // -16bit: answer 3524 with 16 in the low word
    unsigned exitDelayMs = 0; // -exitdelay N: wait this long after 3623 before exiting
    ClientSign sign = ClientSign::Client;
    bool noExit = false;                 // -noexit: ignore 3623
    unsigned lifetimeMs = 0;             // -lifetime N: exit by itself after N ms (0: never)
    std::string appTitle = "ZOV";        // -apptitle TEXT: the variant's answer to pipe command 3
    std::optional<std::string> userName; // -username TEXT: its answer to command 0
};

struct MonitorOptions {
    std::string outputFile;  // -o FILE
    unsigned hangAfter = 0;  // -hang-after N (0: never)
    unsigned exitAfter = 0;  // -exit-after N (0: never)
    bool raw = false;        // -raw: keep the line ends a line arrived with
    bool withSender = false; // -with-sender: prefix each file line with wParam and a tab
    bool stamp = false;      // -stamp: prefix each file line with the arrival tick (ms) and a tab
};

// `args` excludes the program name.
ClientOptions parseClientOptions(const std::vector<std::string>& args);
MonitorOptions parseMonitorOptions(const std::vector<std::string>& args);

} // namespace zov::tools
