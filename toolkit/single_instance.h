#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class TLocalSocketWatch;

// One panel per operator: the panel that runs for a user, display and INI file listens on a local
// socket named after the three (hashed); a later start for the same three reaches it, asks it to come
// to the front and ends. The socket lies in $XDG_RUNTIME_DIR where there is one, else in the
// temporary folder, readable by its user only. A socket or lock that a killed panel left behind is
// taken over: nothing answers there, so the new panel listens in its place.
//
// The socket is the OS layer's (platform/local_socket.h; a named pipe on Windows), watched on the event
// loop; Qt's own local sockets would bring Qt's network library and its dependencies into every start.
class TSingleInstance
{
public:
    // `key` names what one panel stands for (user, display, INI file).
    explicit TSingleInstance(const QString& key);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Asks a running panel to come to the front, handing it `startupId` (the desktop's start-up
    // notification of this start, may be empty); true when one took the request.
    bool AskRunningToFront(const QByteArray& startupId);
    // Takes the name for this panel, unless another panel holds it; `toFront` runs on the event loop
    // with the start-up id each time a later start asks. False where the socket cannot be made (the
    // panel runs all the same, only without being found).
    bool Listen(std::function<void(const QByteArray& startupId)> toFront);

private:
    void accept();

    QString m_name;
    std::string m_path;
    QLockFile m_lock;
    bool m_locked = false;
    int m_server = -1;
    std::unique_ptr<TLocalSocketWatch> m_notifier;
    std::function<void(const QByteArray&)> m_toFront;
};
