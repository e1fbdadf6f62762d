// What every step of a run shares: the machine, the trace, the history, the user's
// prompts and the one way out. Handed by reference to the modules that end a run.
#pragma once

#include "diag/history.h"
#include "diag/trace.h"
#include "platform/machine.h"

#include <cstdint>
#include <string>

namespace zov {

// Message boxes with their silent answers: no box is ever shown in a silent run.
class Prompts {
  public:
    Prompts(WindowSystem& windows, StringTable& strings, const bool& silent)
        : windows_(windows), strings_(strings), silent_(silent) {}

    std::string text(unsigned id) const;
    void notice(const std::string& text);   // OK only; nothing when silent
    bool question(const std::string& text); // Yes/No; Yes when silent
    bool error(const std::string& text);    // Retry/Cancel: true = Retry; Cancel when silent
    bool warning(const std::string& text);  // OK/Cancel: true = OK; OK when silent
    void notice(unsigned id) { notice(text(id)); }
    bool question(unsigned id) { return question(text(id)); }
    bool silentMode() const { return silent_; }

  private:
    std::string caption() const { return text(2); }
    WindowSystem& windows_;
    StringTable& strings_;
    const bool& silent_;
};

// The finish routine: ends the process with an exit code. Never returns.
class Finisher {
  public:
    virtual ~Finisher() = default;
    [[noreturn]] virtual void finish(std::uint32_t exitCode) = 0;
    [[noreturn]] virtual void restartExit(std::uint32_t exitCode) = 0;
};

struct RunContext {
    Machine& m;
    Trace& trace;
    CInstallHistory& history;
    Prompts& prompts;
    Finisher& finisher;
    bool& abort; // gAbort

    // Sets the abort flag and ends the run: the usual end of a fatal error.
    [[noreturn]] void fail(std::uint32_t exitCode) {
        abort = true;
        finisher.finish(exitCode);
        __builtin_unreachable(); // calls through a virtual are not known to end
    }
};

} // namespace zov
