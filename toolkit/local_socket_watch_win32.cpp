#include "local_socket_watch.h"

#include "platform/local_socket.h"

#include <QWinEventNotifier>

TLocalSocketWatch::TLocalSocketWatch(int descriptor, std::function<void()> ready)
{
    auto* notifier = new QWinEventNotifier(platform::LocalSocketEvent(descriptor));
    m_notifier.reset(notifier);
    connect(notifier, &QWinEventNotifier::activated, this, [ready = std::move(ready)] { ready(); });
}

TLocalSocketWatch::~TLocalSocketWatch() = default;

void TLocalSocketWatch::SetEnabled(bool enabled)
{
    static_cast<QWinEventNotifier*>(m_notifier.get())->setEnabled(enabled);
}
