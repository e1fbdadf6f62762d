// Path rules that several steps share: a drive's root, the recycle-bin test (the scanner
// skips clients there, the directory page refuses it) and making a folder with its parents.
#pragma once

#include "platform/machine.h"

#include <string>

namespace zov {

// True when the path begins with a drive letter's root ("X:\"), not a network share or a
// name relative to some folder.
bool startsAtDriveRoot(const std::string& path);

// True when the path lies in a drive's recycle bin: the shell's type name of the path or
// of one of its parents names the bin, or a parent is one of the bins' folder names
// ("Recycled", "Recycler", "$Recycle.bin", any letter case).
bool insideRecycleBin(Machine& m, const std::string& path);

// Creates the folder and every missing parent. False when the last creation failed.
bool createDirectoryPath(Machine& m, const std::string& path);

} // namespace zov
