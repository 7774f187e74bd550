#include "termination.h"

void InstallTerminationHandler(QObject*, std::function<void()>)
{
    // Windows asks a program to end through window messages (WM_CLOSE, WM_QUERYENDSESSION), which
    // reach the windows like a click on the close box.
}
