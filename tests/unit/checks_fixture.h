// The simulated machine set up for the system checks: tracing on, a history record open,
// named Windows versions, a stand-in client that answers the control messages, and dialogs
// that answer from a script.
#pragma once

#include "checks/running_clients.h"
#include "sim/sim_checks.h"
#include "run/dialogs.h"
#include "protocol/contract.h"
#include "unit/fake_frame.h"
#include "unit/run_fixture.h"

#include <algorithm>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

namespace zov::sim {

inline OsVersion windowsNamed(const std::string& name) {
    if (name == "95")
        return {4, 0, 0x040003B6, 1, ""};
    if (name == "98")
        return {4, 10, 0x040A08AE, 1, " A "};
    if (name == "ME")
        return {4, 90, 0x045A0BB8, 1, ""};
    if (name == "NT4")
        return {4, 0, 1381, 2, "Service Pack 6"};
    if (name == "2000")
        return {5, 0, 2195, 2, "Service Pack 4"};
    if (name == "XP")
        return {5, 1, 2600, 2, "Service Pack 3"};
    if (name == "Vista")
        return {6, 0, 6002, 2, "Service Pack 2"};
    return {6, 1, 7601, 2, "Service Pack 1"}; // "7"
}

inline const std::vector<std::string> kAllWindows = {"95", "98", "ME", "NT4", "2000", "XP", "Vista", "7"};

// Dialogs that answer from scripts and count what was shown.
class ScriptedDialogs : public CheckDialogs {
  public:
    std::deque<bool> resumeAnswers; // empty: Exit
    std::deque<int> cleanupAnswers; // empty: continue
    std::deque<int> pageAnswers;    // empty: Next
    int resumes = 0, summaries = 0, cleanups = 0, pages = 0;
    DiskFigures cleanupFigures; // as the last cleanup dialog got them
    std::vector<DiskFigures> pageFigures;
    std::function<void()> onCleanup;

    bool resumeSetup() override {
        ++resumes;
        if (resumeAnswers.empty())
            return false;
        bool answer = resumeAnswers.front();
        resumeAnswers.pop_front();
        return answer;
    }
    void cancelSummary() override { ++summaries; }
    int diskCleanup(DiskFigures& figures, bool) override {
        ++cleanups;
        cleanupFigures = figures;
        if (onCleanup)
            onCleanup();
        if (cleanupAnswers.empty())
            return kCleanupContinue;
        int answer = cleanupAnswers.front();
        cleanupAnswers.pop_front();
        return answer;
    }
    int diskSpacePage(DiskFigures& figures, bool) override {
        ++pages;
        pageFigures.push_back(figures);
        if (pageAnswers.empty())
            return kPageNext;
        int answer = pageAnswers.front();
        pageAnswers.pop_front();
        return answer;
    }
};

// A running client on the simulated machine: its mutex, its "ZOV Frame" and "_ZOV_EXAPI"
// windows and its process, answering 3524, 3623 and 3625 as the real one does.
class SimClient {
  public:
    explicit SimClient(SimMachine& sim) : sim_(sim) {}

    bool sixteenBit = false;
    bool neverExits = false;
    int exitAfterPumps = 0; // pumps between the exit request and the exit
    std::string folder = "C:\\Program Files\\ZOV 9.0";
    int queries = 0, exitRequests = 0, polls = 0, nudges = 0, cancels = 0;

    void start() {
        sim_.kernel.mutexes["Global\\_ZOV_AppMutex"]++;
        frame = sim_.windows.addWindow("ZOV Frame", "ZOV");
        sim_.checks.styles[frame] = kAppWindowStyle;
        control = sim_.windows.addWindow("_ZOV_EXAPI", "ZOV External API",
                                         [this](std::uint32_t m, std::uintptr_t w,
                                                std::intptr_t) -> std::intptr_t { return onMessage(m, w); });
        pid = sim_.checks.addProcess(folder + "\\wzov.exe");
        sim_.windows.onPump = [this](SimMachine&) {
            if (exiting_ && !gone && countdown_-- <= 0)
                exit();
        };
        running = true;
    }

    void exit() {
        sim_.windows.removeWindow(frame);
        sim_.windows.removeWindow(control);
        sim_.kernel.mutexes.erase("Global\\_ZOV_AppMutex");
        sim_.checks.removeProcess(pid);
        gone = true;
        running = false;
    }

    WindowHandle frame = 0, control = 0;
    std::uint32_t pid = 0;
    bool running = false, gone = false;

  private:
    std::intptr_t onMessage(std::uint32_t message, std::uintptr_t wParam) {
        switch (message) {
        case msg::ClientQueryBits:
            ++queries;
            return sixteenBit ? 16 : 32;
        case msg::ClientShutdown:
            ++exitRequests;
            if (!neverExits) {
                exiting_ = true;
                countdown_ = exitAfterPumps;
                if (exitAfterPumps == 0)
                    exit();
            }
            return 0;
        case msg::ClientPoll:
            ++polls;
            return exiting_ ? 1 : 0;
        case msg::ClientNudge:
            nudges += wParam == 1 ? 1 : 100;
            return 0;
        case msg::ClientSetupCancelled:
            ++cancels;
            return 0;
        default:
            return 0;
        }
    }

    SimMachine& sim_;
    bool exiting_ = false;
    int countdown_ = 0;
};

class ChecksFixture : public RunFixture {
  protected:
    FakeFrame frame;
    ScriptedDialogs dialogs;

    void SetUp() override {
        sim.traceWire.monitor = 0x777;
        trace.start();
        sim.traceWire.lines.clear();
        history.StartNew();
        session.frame = sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
        sim.resources.data[175] = std::vector<std::uint8_t>(300 * 1024, 0x4d);
    }

    void setWindows(const std::string& name) { sim.system.os = windowsNamed(name); }

    std::vector<std::string> traceLines() const { return traceLinesOf(sim); }
    bool traced(const std::string& line) const {
        auto lines = traceLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    int tracedCount(const std::string& line) const {
        auto lines = traceLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    // The history events recorded so far, in order.
    std::vector<unsigned> events() {
        history.RecordEvent(0); // writes the pending one
        std::string sc = sim.profile.readString(history.path(), history.section(), "sc", "", 4096);
        std::vector<unsigned> out;
        std::stringstream items(sc);
        for (std::string item; std::getline(items, item, ',');) {
            std::size_t colon = item.find(':');
            if (colon != std::string::npos) {
                unsigned event = static_cast<unsigned>(std::stoul(item.substr(colon + 1)));
                if (event != 0)
                    out.push_back(event);
            }
        }
        return out;
    }
    bool recorded(unsigned event) {
        auto e = events();
        return std::find(e.begin(), e.end(), event) != e.end();
    }
    std::string historyValue(const std::string& key) {
        return sim.profile.readString(history.path(), history.section(), key, "<absent>", 1024);
    }
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const auto& b : sim.windows.boxes)
            texts.push_back(b.text);
        return texts;
    }
    std::string text(unsigned id) { return sim.strings.get(id); }
};

} // namespace zov::sim
