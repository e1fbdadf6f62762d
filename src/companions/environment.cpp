#include "companions/environment.h"

#include <algorithm>

namespace zov {
namespace {

constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kAlreadyRunning = 1056;

} // namespace

bool StartService(ServiceControl& services, Clock& clock, Trace& trace, const std::string& name) {
    if (!services.available())
        return false;
    trace.printf("Loading  advapi32.dll - Service Beginning");
    trace.printf("Starting Service Manager");
    if (!services.openManager())
        return false;
    trace.printf("Open Service");
    if (!services.openService(name))
        return false;
    trace.printf("Start Service");
    std::uint32_t error = services.start();
    if (error != 0) {
        services.closeService();
        if (error == kAlreadyRunning) {
            trace.printf("Service already Running.\n");
            return true;
        }
        trace.printf("Failed to Start Service \n");
        return false;
    }
    trace.printf("Service start pending.\n");
    trace.printf("Query Service Status");
    std::optional<ServiceStatus> status = services.query();
    if (!status) {
        services.closeService();
        return false;
    }
    std::uint32_t since = clock.tickCount();
    std::uint32_t checkPoint = status->checkPoint;
    while (status->state == kStartPending) {
        std::uint32_t wait = std::clamp<std::uint32_t>(status->waitHint / 10, 1000, 10000);
        clock.sleep(wait);
        trace.printf("Query Service Status - Begin");
        std::optional<ServiceStatus> next = services.query();
        if (!next)
            break;
        status = next;
        trace.printf("Query Service Status - End");
        if (status->checkPoint > checkPoint) {
            since = clock.tickCount();
            checkPoint = status->checkPoint;
        } else if (clock.tickCount() - since > status->waitHint) {
            break;
        }
    }
    services.closeService();
    if (status->state != kRunning)
        return false;
    trace.printf("StartService SUCCESS");
    return true;
}

void RemoveFirewallHelperFiles(FileSystem& files, const std::string& tempDirectory) {
    for (const char* name : {"ZOVInstallerFW.dll", "ZOVFirewallMgr.dll", "ZOVFirewallMgr.ini"}) {
        std::string path = tempDirectory + "\\" + name;
        if (files.exists(path))
            files.removeFile(path);
    }
}

} // namespace zov
