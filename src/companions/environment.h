// Small actions on the machine's environment: the client's companion service and the
// firewall helper files the engine may leave behind.
#pragma once

#include "diag/trace.h"
#include "platform/ports.h"

#include <string>

namespace zov {

// True when the service is running afterwards (started now, or already running).
bool StartService(ServiceControl& services, Clock& clock, Trace& trace, const std::string& name);

// Deletes "ZOVInstallerFW.dll", "ZOVFirewallMgr.dll" and "ZOVFirewallMgr.ini" from the
// temporary directory, each when it exists.
void RemoveFirewallHelperFiles(FileSystem& files, const std::string& tempDirectory);

} // namespace zov
