#include "run/dialogs.h"

namespace zov {

bool CancelConfirmation::exitChosen() {
    if (run_.prompts.silentMode())
        return true;
    run_.history.RecordEvent(128);
    if (dialogs_.resumeSetup())
        return false;
    run_.history.RecordEvent(134);
    dialogs_.cancelSummary();
    return true;
}

} // namespace zov
