#include "single_instance.h"

#include "local_socket_watch.h"

#include "platform/local_socket.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace {

// A start that asks the running panel waits at most this long; a panel that is stuck does not keep
// the operator's click waiting for ever.
constexpr int kAnswerMs = 2000;
// The request line: "front" and the start-up id, ended by a line feed; the answer is one byte.
const char kRequest[] = "front ";
const char kTaken = '1';
constexpr std::size_t kLongestRequest = 4096;

QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    return QDir::tempPath();
}

QString serverName(const QString& key)
{
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QDir(socketFolder()).filePath(QStringLiteral("ventiro-") + QString::fromLatin1(hash));
}

// One later start that has connected: its request line, answered and acted on once complete.
class Request : public QObject
{
public:
    Request(int fd, std::function<void(const QByteArray&)> toFront)
        : m_fd(fd), m_watch(fd, [this] { read(); }), m_toFront(std::move(toFront))
    {}
    ~Request() override
    {
        m_watch.SetEnabled(false);
        platform::CloseLocalSocket(m_fd);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

private:
    void read()
    {
        const bool open = platform::ReadLocalConnection(m_fd, m_text);
        const std::size_t end = m_text.find('\n');
        if (end != std::string::npos && m_text.rfind(kRequest, 0) == 0) {
            platform::AnswerLocalConnection(m_fd, kTaken);
            const QByteArray id =
                QByteArray::fromStdString(m_text.substr(sizeof kRequest - 1, end - (sizeof kRequest - 1)));
            finish();
            m_toFront(id.trimmed());
            return;
        }
        if (!open || end != std::string::npos || m_text.size() > kLongestRequest)
            finish();
    }

    void finish()
    {
        m_watch.SetEnabled(false);
        deleteLater();
    }

    int m_fd;
    TLocalSocketWatch m_watch;
    std::function<void(const QByteArray&)> m_toFront;
    std::string m_text;
};

} // namespace

TSingleInstance::TSingleInstance(const QString& key)
    : m_name(serverName(key)), m_path(QFile::encodeName(m_name).toStdString()), m_lock(m_name + ".lock")
{
    // The lock is held from the question to the listening socket, so that of two panels started at
    // once one listens and the other finds it. A lock whose owner is gone counts as free.
    m_lock.setStaleLockTime(0);
    m_locked = m_lock.tryLock(kAnswerMs);
}

TSingleInstance::~TSingleInstance()
{
    if (m_server >= 0) {
        m_notifier.reset();
        platform::CloseLocalSocket(m_server);
        platform::RemoveLocalSocket(m_path);
    }
    if (m_locked)
        m_lock.unlock();
}

bool TSingleInstance::AskRunningToFront(const QByteArray& startupId)
{
    const std::string request = kRequest + startupId.toStdString() + "\n";
    return platform::AskLocalSocket(m_path, request, kAnswerMs) == kTaken;
}

bool TSingleInstance::Listen(std::function<void(const QByteArray& startupId)> toFront)
{
    int server = platform::ListenLocalSocket(m_path);
    if (server < 0) {
        // A panel that answers keeps its name (a panel opened with --new-instance beside it is not
        // found); otherwise what is left is the socket of a panel that ended without closing it.
        if (platform::LocalSocketAnswers(m_path))
            return false;
        platform::RemoveLocalSocket(m_path);
        server = platform::ListenLocalSocket(m_path);
        if (server < 0)
            return false;
    }
    m_server = server;
    m_toFront = std::move(toFront);
    m_notifier = std::make_unique<TLocalSocketWatch>(m_server, [this] { accept(); });
    if (m_locked) {
        m_lock.unlock();
        m_locked = false;
    }
    return true;
}

void TSingleInstance::accept()
{
    // Each request goes with the listening socket at the latest.
    for (int fd; (fd = platform::AcceptLocalConnection(m_server)) >= 0;)
        (new Request(fd, m_toFront))->setParent(m_notifier.get());
}
