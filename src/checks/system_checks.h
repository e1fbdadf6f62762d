// The ordered checks that decide whether this machine may receive the client.
#pragma once

#include "run/context.h"
#include "run/session.h"
#include "checks/os_version.h"
#include "run/dialogs.h"
#include "run/frame_view.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace zov {

// What the command line says to the checks.
struct CheckSwitches {
    bool skip = false;                       // "-u"
    std::optional<std::string> memoryOption; // "-o" and its value
};

class SystemChecks {
  public:
    SystemChecks(RunContext& run, InstallSession& session, FrameView& frame, CheckDialogs& dialogs,
                 CheckSwitches switches, std::function<void()> removeRetryShortcut);
    // 0 when the installation may go on, else the exit code to end with.
    int run();

    // Pure pieces, exposed for tests.
    // A LANGID as primary and sub-language; both 0xFFFF when the text is no number.
    struct Language {
        unsigned primary = 0xFFFF;
        unsigned sub = 0xFFFF;
    };
    static Language systemLanguage(const std::string& hexText);
    static std::optional<Language> installerLanguage(const std::string& piece);
    static bool isAdministrator(const std::optional<std::vector<TokenGroup>>& groups);
    static double browserBuild(const std::string& text);
    static std::uint32_t installedMegabytes(std::uint64_t bytes) {
        return static_cast<std::uint32_t>(bytes >> 20) + 1;
    }

  private:
    // A refusal that removes the retry shortcut and sets the abort flag.
    int refuse(int code);
    bool cancelConfirmed();
    void largeFonts();
    void cleanupTool();
    bool windowsVersionFails();
    bool restartPending();
    bool languageRefused();
    int memory();
    std::string text(unsigned id) { return run_.prompts.text(id); }
    int number(unsigned id) { return std::atoi(run_.m.strings.get(id).c_str()); }

    RunContext& run_;
    InstallSession& session_;
    FrameView& frame_;
    CheckDialogs& dialogs_;
    CheckSwitches switches_;
    std::function<void()> removeRetryShortcut_;
    OsVersionProbe os_;
};

} // namespace zov
