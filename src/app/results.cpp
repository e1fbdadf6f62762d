#include "app/results.h"

namespace zov {
namespace {

// clang-format off
const ResultRow kRows[] = {
    {EngineResult::Success, "RESULT_SUCCESS", "gScript.Execute returned RESULT_SUCCESS", 0, 0, 0, nullptr, 0},
    {EngineResult::IncorrectOs, "RESULT_INCORRECTOS", "gScript.Execute returned RESULT_INCORRECTOS", 0, 0, 1151, nullptr, 0},
    {EngineResult::DiskSpaceError, "RESULT_DISKSPACEERROR", "gScript.Execute returned RESULT_DISKSPACEERROR", 0, 106, 112, nullptr, 0},
    {EngineResult::Cancel, "RESULT_CANCEL", "gScript.Execute returned RESULT_CANCEL", 0, 134, 1602, nullptr, 0},
    {EngineResult::NoMinBrowser, "RESULT_NOMINBROWSER", "gScript.Execute returned RESULT_NOMINBROWSER", 1375, 145, 1067,
     "gScript.Execute returned RESULT_NOMINBROWSER.", 0},
    {EngineResult::MissingComps, "RESULT_MISSINGCOMPS", "gScript.Execute returned RESULT_MISSINGCOMPS", 1379, 147, 126, nullptr, 0},
    {EngineResult::CancelNoGui, "RESULT_CANCEL_NOGUI", "gScript.Execute returned RESULT_CANCEL_NOGUI", 0, 0, 1602, nullptr, 0},
    {EngineResult::FilesInUse, "RESULT_FILES_IN_USE", "gScript.Execute returned RESULT_FILES_IN_USE", 0, 0, 33,
     "ERROR: gScript.Execute returned RESULT_FILES_IN_USE.", 498},
    {EngineResult::NotNtAdmin, "RESULT_NOT_NT_ADMIN", "gScript.Execute returned RESULT_NOT_NT_ADMIN.", 1306, 119, 1314,
     "ERROR: gScript.Execute returned RESULT_NOT_NT_ADMIN.", 0},
    {EngineResult::Error, "RESULT_ERROR", "gScript.Execute returned RESULT_ERROR", 0, 0, 1067,
     "ERROR: gScript.Execute returned an unexpected code. Verify processing.", 514},
};
// clang-format on

} // namespace

EngineResult classify(char code) {
    if (code >= '0' && code <= '8')
        return static_cast<EngineResult>(code - '0');
    return EngineResult::Error;
}

const ResultRow& resultRow(char code) {
    return kRows[static_cast<int>(classify(code))];
}

} // namespace zov
