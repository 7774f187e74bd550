// The session bus: where none exists, neither the panel nor the GUI toolkit starts one, and programs
// the panel starts get the environment as it was; where one exists, the toolkit's accessibility
// bridge reaches it. The real program runs in a private X server; the bus is a private dbus-daemon.
#include "platform/session_bus.h"
#include "platform/shell.h"
#include "tests/support/application.h"
#include "tests/support/qt_files.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

const auto* const application = UseTestApplication<QCoreApplication>("test_session_bus");

// A server process that prints one line when it is ready (Xvfb's display, dbus-daemon's address).
struct Server
{
    QProcess process;
    QString line;

    bool Start(const QString& program, const QStringList& arguments)
    {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
        process.start(program, arguments);
        if (!process.waitForStarted(10000))
            return false;
        (void)QTest::qWaitFor(
            [this] { return process.canReadLine() || process.state() != QProcess::Running; }, 20000);
        line = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !line.isEmpty();
    }
    ~Server()
    {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// The panel, copied into a folder of its own, started in the X server with the given environment.
struct Panel
{
    TempDir folder;
    QProcess process;

    void Start(const QString& display, const QProcessEnvironment& base)
    {
        const QString copy = qtPath(folder, QStringLiteral("ventiro"));
        QFile::copy(QStringLiteral(VENTIRO_BINARY), copy);
        QProcessEnvironment env = base;
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), qtPath(folder));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(qtPath(folder));
        process.start(copy, {});
    }
    // Shown: its main window is mapped.
    bool WaitShown(const QString& display)
    {
        return QTest::qWaitFor(
            [&] {
                QProcess search;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("DISPLAY"), display);
                search.setProcessEnvironment(env);
                search.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Ventiro"});
                search.waitForFinished(5000);
                return search.exitCode() == 0;
            },
            30000);
    }
    ~Panel()
    {
        process.terminate(); // closes the panel the way its close box does
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// The processes whose environment names this display, other than `except`: what a bus started for
// the panel (dbus-launch and its daemon) would be.
QStringList processesOnDisplay(const QString& display, qint64 except)
{
    QStringList found;
    const QByteArray marker = "DISPLAY=" + display.toLocal8Bit();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toLongLong() <= 0 || pid.toLongLong() == except ||
            pid.toLongLong() == QCoreApplication::applicationPid())
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly) || !environ.readAll().split('\0').contains(marker))
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        cmdline.open(QIODevice::ReadOnly);
        found << QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '));
    }
    return found;
}

// The accessibility service of a desktop session, as far as the toolkit's bridge asks it: it says
// accessibility is on and hands out the address of the accessibility bus; it records the requests.
class A11yService : public QDBusVirtualObject
{
public:
    QStringList requests;
    QString address;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        requests << message.member();
        if (message.member() == QLatin1String("Get") || message.member() == QLatin1String("GetAll"))
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(true))));
        else if (message.member() == QLatin1String("GetAddress"))
            connection.send(message.createReply(address));
        else
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        return true;
    }
};

} // namespace

TEST(SessionBus, NoneIsStartedWhereNoneExistsAndStartedProgramsGetTheEnvironmentAsItWas)
{
    if (!FirstRunInThisProcess())
        GTEST_SKIP() << "the bus is looked for once per process";
    const TempDir runtime;
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    {
        // A per-user bus socket in the runtime folder, or an address, is a bus: nothing changes.
        QLocalServer bus;
        ASSERT_TRUE(bus.listen(qtPath(runtime, QStringLiteral("bus"))));
        ::setenv("XDG_RUNTIME_DIR", runtime.str().c_str(), 1);
        EXPECT_FALSE(platform::AvoidSessionBusLaunch());
        EXPECT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
        bus.close();
        EXPECT_FALSE(platform::AvoidSessionBusLaunch());
        EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "unix:path=/nonexistent");
    }
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(platform::AvoidSessionBusLaunch());
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    const QString record = qtPath(runtime, QStringLiteral("environment"));
    const std::string command = "-c \"env > '" + record.toStdString() + "'\"";
    ASSERT_GT(platform::ShellExecuteA(nullptr, "open", "/bin/sh", command.c_str(), runtime.str().c_str(), 1),
              32);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(record).size() > 0; }, 10000));
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray seen = file.readAll();
    EXPECT_FALSE(seen.contains("DBUS_SESSION_BUS_ADDRESS")) << seen.constData();
    EXPECT_TRUE(seen.contains("XDG_RUNTIME_DIR=")) << seen.constData();

    // The real panel with no bus: it shows its window and nothing else runs on its display.
    Server xvfb;
    if (!xvfb.Start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp"}))
        GTEST_SKIP() << "Xvfb is missing";
    const QString display = QLatin1Char(':') + xvfb.line;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qtPath(runtime));
    Panel panel;
    panel.Start(display, env);
    ASSERT_TRUE(panel.WaitShown(display));
    EXPECT_EQ(processesOnDisplay(display, panel.process.processId()), QStringList());
}

TEST(SessionBus, AccessibilityReachesTheBusWhereThereIsOne)
{
    Server bus;
    if (!bus.Start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"}))
        GTEST_SKIP() << "dbus-daemon is missing";
    Server xvfb;
    if (!xvfb.Start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-nolisten", "tcp"}))
        GTEST_SKIP() << "Xvfb is missing";
    const QString display = QLatin1Char(':') + xvfb.line;

    QDBusConnection connection = QDBusConnection::connectToBus(bus.line, QStringLiteral("a11y"));
    ASSERT_TRUE(connection.isConnected());
    A11yService service;
    service.address = bus.line;
    ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/org/a11y/bus"), &service));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.a11y.Bus")));

    // The bus is announced in the environment, or by the file dbus-launch leaves for the display.
    QString machine;
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (machine.isEmpty() && file.open(QIODevice::ReadOnly))
            machine = QString::fromLatin1(file.readLine()).trimmed();
    }
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "announced by dbus-launch's file" : "announced in the environment");
        if (fromFile && machine.isEmpty())
            continue;
        service.requests.clear();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir::tempPath() + QStringLiteral("/no-runtime-dir"));
        Panel panel;
        if (fromFile) {
            const QString folder = qtPath(panel.folder, QStringLiteral(".dbus/session-bus"));
            ASSERT_TRUE(QDir().mkpath(folder));
            QFile file(folder + QLatin1Char('/') + machine + QLatin1Char('-') + xvfb.line);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral(
                           "# written by dbus-launch\nDBUS_SESSION_BUS_ADDRESS=%1\nDBUS_SESSION_BUS_PID=%2\n")
                           .arg(bus.line)
                           .arg(bus.process.processId())
                           .toLocal8Bit());
        } else {
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.line);
        }
        panel.Start(display, env);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return service.requests.contains(QStringLiteral("GetAddress")); }, 30000))
            << service.requests.join(QLatin1Char(' ')).toStdString();
    }
    connection.unregisterService(QStringLiteral("org.a11y.Bus"));
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
}
