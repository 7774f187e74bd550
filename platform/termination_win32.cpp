#include "platform/termination.h"

namespace platform {

// WM_CLOSE, WM_QUERYENDSESSION and WM_ENDSESSION reach the windows themselves.
int SignalDescriptor()
{
    return -1;
}

int WatchTerminationRequests()
{
    return -1;
}

bool TakeSignals()
{
    return false;
}

} // namespace platform
