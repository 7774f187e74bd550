#include "termination.h"

#include "platform/termination.h"

#include <QSocketNotifier>

void InstallTerminationHandler(QObject* owner, std::function<void()> onRequest)
{
    const int requests = platform::WatchTerminationRequests();
    if (requests < 0)
        return;
    auto* notifier = new QSocketNotifier(requests, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onRequest = std::move(onRequest)] {
        platform::TakeTerminationRequests();
        onRequest();
    });
}
