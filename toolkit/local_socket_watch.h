#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Calls `ready` on the event loop whenever a listening socket or a connection of
// platform/local_socket.h has something to take: on POSIX when its descriptor is readable, on Windows
// when its event is signalled.
class TLocalSocketWatch : public QObject
{
public:
    TLocalSocketWatch(int descriptor, std::function<void()> ready);
    ~TLocalSocketWatch() override;
    TLocalSocketWatch(const TLocalSocketWatch&) = delete;
    TLocalSocketWatch& operator=(const TLocalSocketWatch&) = delete;

    void SetEnabled(bool enabled);

private:
    std::unique_ptr<QObject> m_notifier;
};
