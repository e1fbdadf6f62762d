// Runs the install engine "comp01.000" from the setup program's own folder and collects
// its one-character result from install.ini.
#pragma once

#include "run/context.h"

#include <string>

namespace zov {

class CScript {
  public:
    static constexpr std::size_t kMaxText = 259;

    // The engine beside the running program: drive and folder of modulePath + "comp01.000";
    // none (Execute ends the setup as for a missing engine) when that path exceeds kMaxText.
    void setProgramFromModule(const std::string& modulePath);
    const std::string& programPath() const { return programPath_; }

    // Returns false (arguments unchanged) when the text does not fit its 260-byte field.
    bool setArguments(const std::string& arguments);
    const std::string& arguments() const { return arguments_; }

    std::string commandLine() const;

    // The engine's result character ('\0' when it wrote no rc). Ends the setup with 2 when
    // the engine cannot be started.
    char Execute(RunContext& run, const std::string& settingsFile);

  private:
    std::string arguments_;
    std::string programPath_;
};

} // namespace zov
