#include "local_socket_watch.h"

#include <QSocketNotifier>

TLocalSocketWatch::TLocalSocketWatch(int descriptor, std::function<void()> ready)
{
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read);
    m_notifier.reset(notifier);
    connect(notifier, &QSocketNotifier::activated, this, [ready = std::move(ready)] { ready(); });
}

TLocalSocketWatch::~TLocalSocketWatch() = default;

void TLocalSocketWatch::SetEnabled(bool enabled)
{
    static_cast<QSocketNotifier*>(m_notifier.get())->setEnabled(enabled);
}
