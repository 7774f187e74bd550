#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// A start that asks the running panel waits at most this long for each step; a panel that is stuck
// does not keep the operator's click waiting for ever.
constexpr int kAnswerMs = 2000;
// The request line: "front" and the start-up id, ended by a line feed; the answer is one byte.
const char kRequest[] = "front ";
const char kTaken = '1';

QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QDir::isAbsolutePath(runtime))
        return runtime;
    return QDir::tempPath();
}

QString serverName(const QString& key)
{
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QDir(socketFolder()).filePath(QStringLiteral("ventiro-") + QString::fromLatin1(hash));
}

} // namespace

TSingleInstance::TSingleInstance(const QString& key) : m_name(serverName(key)), m_lock(m_name + ".lock")
{
    // The lock is held from the question to the listening socket, so that of two panels started at
    // once one listens and the other finds it. A lock whose owner is gone counts as free.
    m_lock.setStaleLockTime(0);
    m_locked = m_lock.tryLock(kAnswerMs);
}

TSingleInstance::~TSingleInstance()
{
    if (m_locked)
        m_lock.unlock();
}

bool TSingleInstance::AskRunningToFront(const QByteArray& startupId)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(QByteArray(kRequest) + startupId + '\n');
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
    }
    return socket.read(1) == QByteArray(1, kTaken);
}

bool TSingleInstance::Listen(std::function<void(const QByteArray& startupId)> toFront)
{
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        // A panel that answers keeps its name (a panel opened with --new-instance beside it is not
        // found); otherwise what is left is the socket of a panel that ended without closing it.
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(kAnswerMs))
            return false;
        QLocalServer::removeServer(m_name);
        if (!server->listen(m_name))
            return false;
    }
    QLocalServer* raw = server.get();
    QObject::connect(raw, &QLocalServer::newConnection, raw, [raw, toFront = std::move(toFront)] {
        while (QLocalSocket* client = raw->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [client, toFront] {
                if (!client->canReadLine()) {
                    if (client->bytesAvailable() > 4096)
                        client->abort();
                    return;
                }
                const QByteArray line = client->readLine(4096).trimmed();
                if (!line.startsWith(QByteArray(kRequest).trimmed())) {
                    client->abort();
                    return;
                }
                client->write(QByteArray(1, kTaken));
                client->flush();
                toFront(line.mid(static_cast<int>(sizeof kRequest) - 1).trimmed());
                client->disconnectFromServer();
            });
        }
    });
    m_server = std::move(server);
    if (m_locked) {
        m_lock.unlock();
        m_locked = false;
    }
    return true;
}
