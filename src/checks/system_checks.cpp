#include "checks/system_checks.h"

namespace zov {

int SystemChecks::run() {
    session_.lowRam = 'F';
    return 0;
}

} // namespace zov
