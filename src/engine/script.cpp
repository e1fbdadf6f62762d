#include "engine/script.h"

namespace zov {

void CScript::setProgramFromModule(const std::string& modulePath) {
    std::size_t slash = modulePath.rfind('\\');
    std::string folder = slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);
    programPath_ = folder + "comp01.000";
    // A path cut to its field would name another file, perhaps one planted there: an engine
    // path that does not fit is no engine at all.
    if (programPath_.size() > kMaxText)
        programPath_.clear();
}

bool CScript::setArguments(const std::string& arguments) {
    if (arguments.size() > kMaxText)
        return false;
    arguments_ = arguments;
    return true;
}

std::string CScript::commandLine() const {
    return ProcessStart{programPath_, arguments_}.commandLine();
}

char CScript::Execute(RunContext& run, const std::string& settingsFile) {
    run.trace.printf("CScript:Execute() - CreateProcess() creating script process");
    constexpr std::uint32_t kFilenameTooLong = 206;
    ProcessHandle engine{};
    if (!programPath_.empty())
        engine = run.m.processes.start({programPath_, arguments_}, false);
    if (!engine) {
        // The error before the trace line can change it.
        const std::uint32_t error = programPath_.empty() ? kFilenameTooLong : run.m.system.lastError();
        if (run.trace.on()) {
            run.trace.printf("CScript::Execute() -- CreateProcess() failed for file %s\n",
                             programPath_.c_str());
            run.trace.lastError(error);
        }
        run.prompts.notice(
            "This copy of ZOV cannot be installed because an installation file is missing or damaged.");
        run.fail(2);
    }
    // Wait without a time limit, keeping the frame alive for the engine's progress messages:
    // the engine waits for the answer to each one, so the wait wakes for every message.
    while (!run.m.processes.hasEnded(engine)) {
        run.m.windows.pumpMessages();
        run.m.windows.waitForMessage(50, &engine);
    }
    run.m.processes.close(engine);
    std::string rc = run.m.profile.readString(settingsFile, "exit", "rc", "", 2048);
    return rc.empty() ? '\0' : rc[0];
}

} // namespace zov
