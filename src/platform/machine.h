// All ports of one machine, handed to the start-up routine. Modules take the single
// ports they need from it; only the orchestration code holds the whole set.
#pragma once

#include "platform/ports.h"
#include "platform/ports_browsers.h"
#include "platform/ports_checks.h"
#include "platform/ports_companions.h"
#include "platform/ports_discovery.h"

namespace zov {

struct Machine {
    ProfileStore& profile;
    FileSystem& files;
    SystemInfo& system;
    Registry& registry;
    Clock& clock;
    WindowSystem& windows;
    Processes& processes;
    KernelObjects& kernel;
    Shell& shell;
    Power& power;
    ServiceControl& services;
    TraceTransport& traceWire;
    StringTable& strings;
    Resources& resources;
    ProcessExit& exit;
    DiscoveryPorts& discovery;
    CheckPorts& checks;
    CompanionSystem& companions;
    BrowserData& browsers;
};

} // namespace zov
