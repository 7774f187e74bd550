#include "platform/termination.h"

namespace platform {

int WatchTerminationRequests()
{
    // WM_CLOSE and WM_QUERYENDSESSION reach the windows themselves.
    return -1;
}

void TakeTerminationRequests() {}

} // namespace platform
