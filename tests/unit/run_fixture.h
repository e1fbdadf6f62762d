// Fixtures over the simulated machine: a run context for the modules that end a run, and
// whole runs of the installer.
#pragma once

#include "app/installer.h"
#include "sim/sim_run.h"
#include "unit/fake_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zov::sim {

// The texts of the trace lines sent so far.
inline std::vector<std::string> traceLinesOf(const SimMachine& sim) {
    std::vector<std::string> lines;
    for (const auto& l : sim.traceWire.lines)
        lines.push_back(l.text);
    return lines;
}

class RunFixture : public ::testing::Test, public SimRun {
  protected:
    // The exit code the call ended the run with, or 0xFFFFFFFF when it returned.
    static std::uint32_t endCode(const std::function<void()>& call) {
        try {
            call();
        } catch (const Exited& e) {
            return e.code;
        }
        return 0xFFFFFFFF;
    }
};

// The installer's application object over the simulated machine, with its frame window
// routed to it. The tests register the engine they need.
class InstallerFixture : public ::testing::Test {
  protected:
    SimMachine sim;
    FakeFrame frame;
    Machine machine = sim.machine();
    std::unique_ptr<InstallerApp> app;
    CheckDialogs* checkDialogs = nullptr; // else the application's own
    PageHost* pageHost = nullptr;         // else the application's own

    void SetUp() override {
        sim.resources.data[175] = std::vector<std::uint8_t>(3000, 0x4d);
        frame.makeWindow = [this] {
            return sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR",
                                         [this](std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
                                             std::intptr_t r = 0;
                                             app->onFrameMessage(m, w, l, r);
                                             return r;
                                         });
        };
    }

    // Runs setup.exe with the command line; returns the exit code.
    std::uint32_t run(const std::string& line) {
        app = std::make_unique<InstallerApp>(machine, frame);
        if (checkDialogs != nullptr)
            app->setDialogs(*checkDialogs);
        if (pageHost != nullptr)
            app->setPageHost(*pageHost);
        try {
            app->run(line);
        } catch (const Exited& e) {
            return e.code;
        }
        ADD_FAILURE() << "the run returned instead of ending";
        return 0xFFFFFFFF;
    }

    // Only the session values a run with this command line starts with.
    InstallSession& defaults(const std::string& line) {
        app = std::make_unique<InstallerApp>(machine, frame);
        const_cast<InstallerCommandLine&>(app->commandLine()).parse(line);
        app->computeSessionDefaults();
        return app->session();
    }

    std::vector<std::string> engineCommandLines() const {
        std::vector<std::string> lines;
        for (const auto& start : sim.processes.starts)
            if (start.commandLine.find("comp01.000") != std::string::npos)
                lines.push_back(start.commandLine);
        return lines;
    }
    std::vector<std::string> traceLines() const { return traceLinesOf(sim); }
    bool traced(const std::string& line) const {
        auto lines = traceLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string history(const std::string& key) {
        return sim.profile.readString("C:\\IPH.PH", "inst01", key, "<absent>", 1024);
    }
};

} // namespace zov::sim
