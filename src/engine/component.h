// An embedded "BINARY" resource written out as a file: the progress module the install
// engine loads ("progupd.dll", resource 175). The setup only writes, measures and deletes it.
#pragma once

#include "run/context.h"

#include <cstdint>
#include <string>

namespace zov {

class CComponent {
  public:
    static constexpr std::size_t kPiece = 1024;

    explicit CComponent(std::uint16_t resourceNumber) : resourceNumber_(resourceNumber) {}

    // Size in kilobytes; a missing resource ends the setup (1612).
    std::uint32_t GetSize(RunContext& run);
    // 1 when the component is on disk; 0 when it could not be written (the user was told).
    // Once written it is not written again while its file is there.
    int Write(RunContext& run, const std::string& path);
    void Cleanup(RunContext& run);

    bool written() const { return written_; }
    const std::string& filePath() const { return filePath_; }

  private:
    void endDamaged(RunContext& run, const char* failedStep);
    void reportDiskFull(RunContext& run);

    std::uint16_t resourceNumber_;
    bool written_ = false;
    std::string filePath_;
};

} // namespace zov
