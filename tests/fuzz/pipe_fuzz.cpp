// The session pipes, both ends, on the simulated machine: the installer's server answering
// any request from any local process, and the questions this setup asks a peer that may
// answer anything.
//
// Input: u8 options (which peer is found: bit 0 the client variant, bit 1 its sibling,
// otherwise another setup), the request (text16), this session's user name (text16), the
// peer's answer to the user question (text16) and to the title question (the rest).
//
// A reply never exceeds the pipe's 256-byte buffer and is a text with its one NUL, or
// nothing; the peer's answers come back as texts without a NUL, within the same bound.
#include "checks/running_clients.h"
#include "fuzz/fuzz_input.h"
#include "sim/sim_run.h"

#include <string>

using namespace zov;

namespace {

const char kInstallerPipe[] = "\\\\.\\Pipe\\ZOVINST";
constexpr std::size_t kMax = RunningClients::kPipeMessageMax;

void checkReply(const std::string& reply) {
    fuzz::check(reply.size() <= kMax);
    if (!reply.empty())
        fuzz::check(reply.find('\0') == reply.size() - 1);
}

// What the server must answer: the text of the question, cut to the buffer, with its NUL.
std::string expectedReply(const std::string& request, const std::string& title, const std::string& user) {
    if (request.empty())
        return {};
    std::string answer;
    if (request[0] == 0)
        answer = user;
    else if (request[0] == 3)
        answer = title;
    else
        return {};
    answer = answer.substr(0, answer.find('\0')).substr(0, kMax - 1);
    return answer.empty() ? answer : answer + '\0';
}

void checkAnswer(const std::string& text) {
    fuzz::check(text.size() <= kMax && text.find('\0') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t options = in.u8();
    const std::string request = in.text16();
    const std::string user = in.text16();
    const std::string userAnswer = in.text16();
    const std::string titleAnswer = in.rest();

    sim::SimRun r;
    r.sim.checks.ownDisplayName = user;
    RunningClients clients(r.run);
    clients.startPipeServer(kInstallerPipe);
    const std::string title = r.sim.strings.get(2);
    // The server reads at most a buffer's worth of the request.
    const std::string reply = r.sim.checks.pipeServers.at(kInstallerPipe)(request);
    checkReply(reply);
    fuzz::check(reply == expectedReply(request.substr(0, kMax), title, user));
    const std::string whole = RunningClients::pipeReply(request, title, [&] { return user; });
    checkReply(whole);

    // The other end: a peer in another session answers this setup's questions.
    const char* mutex = (options & 1) != 0   ? "Global\\_ZOVT_AppMutex"
                        : (options & 2) != 0 ? "Global\\_Qtm_AppMutex"
                                             : "Global\\ZOVInst";
    const char* pipe = (options & 3) != 0 ? "\\\\.\\Pipe\\ZOV" : kInstallerPipe;
    r.sim.checks.deniedMutexes.insert(mutex);
    r.sim.checks.pipeServers[pipe] = [&](const std::string& question) {
        fuzz::check(question == RunningClients::pipeRequest(static_cast<std::uint8_t>(question[0])));
        return question[0] == 0 ? userAnswer : titleAnswer;
    };
    std::string userText, applicationText;
    fuzz::check(clients.sessionTest(userText, applicationText));
    checkAnswer(userText);
    checkAnswer(applicationText);
    return 0;
}
