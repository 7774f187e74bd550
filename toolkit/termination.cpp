#include "termination.h"

#include "platform/shell.h"
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

void InstallStartedProgramReaper(QObject* owner)
{
    const int ended = platform::StartedProgramsEndedDescriptor();
    if (ended < 0)
        return;
    auto* notifier = new QSocketNotifier(ended, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [] { platform::ReapStartedPrograms(); });
}
