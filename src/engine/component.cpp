#include "engine/component.h"

#include "platform/message_waits.h"

#include <algorithm>

namespace zov {
namespace {

const char* const kDamaged = "This copy of ZOV cannot be installed because the installation file is damaged.";
const char* const kLowResources =
    "Your computer is low on resources.\n\nPlease close any running programs and click 'Retry' to continue.";
const char* const kDiskFull =
    "Your hard drive does not have enough free disk space to install the ZOV software.\n\n"
    "You will need to free up additional space on your hard drive before continuing.";

} // namespace

void CComponent::endDamaged(RunContext& run, const char* failedStep) {
    const std::uint32_t error = run.m.system.lastError();
    if (run.trace.on()) {
        run.trace.line(failedStep);
        run.trace.lastError(error);
    }
    run.history.RecordEvent(132);
    run.prompts.notice(kDamaged);
    run.fail(1612);
}

std::uint32_t CComponent::GetSize(RunContext& run) {
    if (!run.m.resources.find(resourceNumber_))
        endDamaged(run, "CComponent::Write() -- FindResource() failed\n");
    return static_cast<std::uint32_t>(run.m.resources.size(resourceNumber_) / 1024);
}

void CComponent::reportDiskFull(RunContext& run) {
    run.history.RecordEvent(125);
    run.prompts.notice(kDiskFull);
}

int CComponent::Write(RunContext& run, const std::string& path) {
    // Written once; but the removal of the engine's progress module after a run takes this
    // very file, and the next engine run needs it again.
    if (written_ && run.m.files.exists(filePath_))
        return 1;
    written_ = false;
    Trace& trace = run.trace;
    trace.printf("CComponent::Write() - Finding resource %d ... \n", resourceNumber_);
    if (!run.m.resources.find(resourceNumber_))
        endDamaged(run, "CComponent::Write() -- FindResource() failed\n");

    trace.printf("CComponent::Write() - Getting resource size ... \n");
    std::size_t size = run.m.resources.size(resourceNumber_);
    trace.printf("CComponent::Write() - Resource size = %d\n", static_cast<int>(size));

    const std::uint8_t* data = nullptr;
    for (;;) {
        trace.printf("CComponent::Write() - Loading resource ... \n");
        bool loadFailed = false;
        data = run.m.resources.load(resourceNumber_, loadFailed);
        if (!loadFailed)
            break;
        const std::uint32_t error = run.m.system.lastError();
        if (trace.on()) {
            trace.line("CComponent::Write() -- LoadResource() failed\n");
            trace.lastError(error);
        }
        if (!run.prompts.error(kLowResources))
            run.fail(1612);
    }
    for (;;) {
        // Taken before the trace line below, which may change it.
        const std::uint32_t error = run.m.system.lastError();
        trace.printf("CComponent::Write() - Locking resource ... \n");
        if (data != nullptr)
            break;
        if (trace.on()) {
            trace.line("CComponent::Write() -- LockResource() failed\n");
            trace.lastError(error);
        }
        if (!run.prompts.error(kLowResources))
            run.fail(167);
        bool loadFailed = false;
        data = run.m.resources.load(resourceNumber_, loadFailed);
    }

    std::string target = path;
    if (target.empty())
        target = run.m.files.uniqueFile(run.m.system.tempPath(), "TMP");
    trace.printf("Writing component to %s...", target.c_str());
    auto file = target.empty() ? nullptr : run.m.files.create(target);
    if (!file) {
        const std::uint32_t error = run.m.system.lastError();
        if (trace.on()) {
            trace.line("CComponent::Write() -- fopen() failed\n");
            trace.lastError(error);
        }
        reportDiskFull(run);
        return 0;
    }
    filePath_ = target;

    trace.printf("writing %d bytes...", static_cast<int>(size));
    pumpFor(run.m.windows, run.m.clock, 500);
    const std::size_t piecesPerPump = size / 51200 + 1;
    std::size_t writtenBytes = 0, pieces = 0;
    while (writtenBytes < size) {
        std::size_t piece = std::min(kPiece, size - writtenBytes);
        std::size_t n = file->write(data + writtenBytes, piece);
        writtenBytes += n;
        if (n != piece)
            break;
        if (++pieces % piecesPerPump == 0)
            run.m.windows.pumpMessages();
    }
    trace.printf("successfully wrote %d bytes...", static_cast<int>(writtenBytes));
    file->close();
    if (writtenBytes == size) {
        written_ = true;
        trace.printf("OK\n");
        return 1;
    }
    trace.printf("Ran out of disk space writing component");
    reportDiskFull(run);
    return 0;
}

void CComponent::Cleanup(RunContext& run) {
    run.trace.printf("CComponent::Cleanup()\n");
    if (!filePath_.empty())
        run.m.files.removeFile(filePath_);
}

} // namespace zov
