// The install engine's one-character results and what each one means for the run.
#pragma once

#include <cstdint>

namespace zov {

enum class EngineResult {
    Success,
    IncorrectOs,
    DiskSpaceError,
    Cancel,
    NoMinBrowser,
    MissingComps,
    CancelNoGui,
    FilesInUse,
    NotNtAdmin,
    Error,
};

struct ResultRow {
    EngineResult result;
    const char* name;        // RESULT_ name
    const char* wizardTrace; // "gScript.Execute returned ..." on the wizard path
    unsigned wizardMessage;  // string id shown on the wizard path, 0 = none
    unsigned wizardEvent;    // history event on the wizard path, 0 = none
    std::uint32_t exitCode;
    const char* endTrace; // extra trace at the end of every path, or nullptr
    int assertLine;       // failed assertion "FALSE" in "install" before endTrace, 0 = none
};

EngineResult classify(char code);
const ResultRow& resultRow(char code);

} // namespace zov
