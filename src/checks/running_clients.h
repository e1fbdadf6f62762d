// Running clients, other setups, clients in other user sessions, and the installer's own
// pipe server: the four signs (window classes, named mutexes, the session pipes, the
// process list), the shutdown handshake with the client, and the tests the checks ask.
#pragma once

#include "run/context.h"
#include "checks/os_version.h"
#include "protocol/contract.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zov {

class RunningClients {
  public:
    static constexpr std::size_t kPipeMessageMax = pipe::kMessageMax;
    // A pipe question waits this long at most for the pipe and for its answer: a peer that
    // never answers must not hold the checks for ever.
    static constexpr std::uint32_t kPipeTimeoutMs = 5000;
    static constexpr int kShutdownPasses = 300;
    static constexpr std::uint32_t kClientAnswerTimeoutMs = 5000;

    RunningClients(RunContext& run, WindowHandle mainWindow = 0);

    // Client windows other than the main window; each title plus "\n" goes to the list.
    bool clientWindows(std::string* titles = nullptr);
    // Other copies of this setup; each is brought to the foreground.
    bool anotherSetup();
    // Ordinary application windows: up to ten titles, then "(more)"; each plus "\n".
    bool openApplications(std::string& list);
    bool mutexPresent(const std::string& name, bool& openable);
    bool anyClientPresent();
    // The running client process "<Apppath>\<name>", opened; empty when none.
    ProcessHandle findClientProcess(const std::string& name);
    // The other-sessions test: true when a client, setup or uninstaller is found elsewhere.
    bool sessionTest(std::string& user, std::string& application);
    bool usersInOtherSessions(std::string& names);
    // One question on a session pipe: the answer text, or nothing when it failed.
    std::optional<std::string> askPipe(const std::string& pipe, std::uint32_t command);
    // 0 shut down or none running, 1 timed out, 2 a 16-bit client.
    int ShutdownClient();
    // The user cancelled at the running-client prompt: tell the client.
    void postSetupCancelled();
    void startPipeServer(const std::string& pipeName);

    // The wire, exposed for tests.
    static std::string pipeRequest(std::uint32_t command);
    // The server's reply to one request: by its first byte, 0 the user's name, 3 the title.
    static std::string pipeReply(const std::string& request, const std::string& title,
                                 const std::function<std::string()>& userName);
    // "<client folder>TOD\CASADIL.phx" from the process list; "" when no client is listed.
    static std::string shutdownMarkerPath(const std::vector<ProcessEntry>& processes);

  private:
    std::string text(unsigned id) { return run_.m.strings.get(id); }
    std::optional<std::string> clientFolder();
    void writeShutdownMarker(std::string& markerPath);

    RunContext& run_;
    WindowHandle main_;
    OsVersionProbe os_;
};

} // namespace zov
