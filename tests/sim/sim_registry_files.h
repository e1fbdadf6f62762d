// The registry library's files on the simulated disk.
//
//   SimRegistryFiles regFiles(sim.files, sim.system.windows);   // for this scope
//   reg::NR_RegOpen("C:\\Windows\\nsreg.dat", &h);              // a file of sim.files
//
// While it lives, every file the NR_/VR_ functions open is a file of the simulated disk
// (read-only folders of the disk read as access denied), and the Windows folder is the one
// given. Its end shuts the library down, so that no open file or state outlives a test.
#pragma once

#include "sim/sim_files.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zov::sim {

class SimRegistryFiles {
  public:
    SimRegistryFiles(SimFileSystem& files, std::string windowsFolder);
    ~SimRegistryFiles();
    SimRegistryFiles(const SimRegistryFiles&) = delete;
    SimRegistryFiles& operator=(const SimRegistryFiles&) = delete;

    // After this many more writes succeed, every write fails (a full disk, a lost network).
    std::optional<int> writesBeforeFailure;
    int reads = 0, writes = 0, opens = 0;
    int openFiles = 0;

    SimFileSystem& files;
    std::string windowsFolder;
};

} // namespace zov::sim
