#include "termination.h"

#include "platform/shell.h"
#include "platform/termination.h"

#include <QSocketNotifier>

void InstallSignalHandler(QObject* owner, std::function<void()> onRequest)
{
    const int descriptor = platform::WatchTerminationRequests();
    if (descriptor < 0)
        return;
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onRequest = std::move(onRequest)] {
        const bool request = platform::TakeSignals();
        platform::ReapStartedPrograms();
        if (request)
            onRequest();
    });
}
