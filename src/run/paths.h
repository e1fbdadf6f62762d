// Path rules that several steps share: the recycle-bin test (the scanner skips clients
// there, the directory page refuses it) and making a folder with its parents.
#pragma once

#include "platform/machine.h"

#include <string>

namespace zov {

// True when the path lies in a drive's recycle bin: the shell's type name of the path or
// of one of its parents names the bin, or a parent is one of the bins' folder names
// ("Recycled", "Recycler", "$Recycle.bin", any letter case).
bool insideRecycleBin(Machine& m, const std::string& path);

// Creates the folder and every missing parent. False when the last creation failed.
bool createDirectoryPath(Machine& m, const std::string& path);

} // namespace zov
