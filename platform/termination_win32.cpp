#include "platform/termination.h"

namespace platform {

int WatchTerminationRequests()
{
    // WM_CLOSE, WM_QUERYENDSESSION and WM_ENDSESSION reach the windows themselves.
    return -1;
}

void TakeTerminationRequests() {}

} // namespace platform
