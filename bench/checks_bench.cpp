// The system checks' own time and the client shutdown's latency, on the simulated machine.
//
// Prints figures, asserts nothing. The simulated processor measurement costs no wall time,
// so "checks" is the checks' own work; the baseline in the same run is the same set-up with
// the checks switched off ("-u"). The shutdown latency is the simulated time the handshake
// waits (its passes of 100 ms) for a client that exits at once, plus the wall time of its
// own work.
#include "checks/running_clients.h"
#include "checks/system_checks.h"
#include "protocol/contract.h"
#include "sim/sim_run.h"
#include "ui/box_dialogs.h"
#include "unit/fake_frame.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace zov;
using namespace zov::sim;

namespace {

struct Bench : SimRun {
    FakeFrame frame;
    BoxDialogs dialogs{run};

    Bench() {
        sim.resources.data[175] = std::vector<std::uint8_t>(64 * 1024, 0);
        session.frame = sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
        for (int i = 0; i < 40; ++i) // a busy desktop
            sim.windows.addWindow("Other", "Window " + std::to_string(i));
        history.StartNew();
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double microseconds(F f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    constexpr int kRuns = 200;
    std::vector<double> checks, skipped, shutdownWall, shutdownSim;
    for (int i = 0; i < kRuns; ++i) {
        {
            Bench b;
            checks.push_back(microseconds(
                [&] { SystemChecks(b.run, b.session, b.frame, b.dialogs, CheckSwitches{}, [] {}).run(); }));
        }
        {
            Bench b;
            skipped.push_back(microseconds([&] {
                SystemChecks(b.run, b.session, b.frame, b.dialogs, CheckSwitches{true, {}}, [] {}).run();
            }));
        }
        {
            Bench b;
            b.sim.kernel.mutexes["Global\\_ZOV_AppMutex"] = 1;
            WindowHandle client = b.sim.windows.addWindow("ZOV Frame", "ZOV");
            WindowHandle control = 0;
            control = b.sim.windows.addWindow("_ZOV_EXAPI", "",
                                              [&](std::uint32_t m, std::uintptr_t, std::intptr_t) {
                                                  if (m == msg::ClientShutdown) { // exits at once
                                                      b.sim.windows.removeWindow(client);
                                                      b.sim.windows.removeWindow(control);
                                                      b.sim.kernel.mutexes.erase("Global\\_ZOV_AppMutex");
                                                  }
                                                  return std::intptr_t{0};
                                              });
            b.sim.checks.addProcess("C:\\Program Files\\ZOV 9.0\\wzov.exe");
            std::uint64_t before = b.sim.clock.nowMs;
            shutdownWall.push_back(
                microseconds([&] { RunningClients(b.run, b.session.frame).ShutdownClient(); }));
            shutdownSim.push_back(static_cast<double>(b.sim.clock.nowMs - before));
        }
    }
    const double c = median(checks), s = median(skipped);
    std::printf("system checks, %d runs (medians, simulated machine, processor measurement excluded)\n",
                kRuns);
    std::printf("  checks                      %8.1f us\n", c);
    std::printf("  baseline (-u, no checks)    %8.1f us\n", s);
    std::printf("  checks' own time            %8.1f us  (%.1fx the baseline)\n", c - s, s > 0 ? c / s : 0.0);
    std::printf("ShutdownClient, a client that exits at once\n");
    std::printf("  waited (simulated clock)    %8.1f ms  (expected about 100 ms: one pass)\n",
                median(shutdownSim));
    std::printf("  own work (wall)             %8.1f us\n", median(shutdownWall));
    return 0;
}
