// The real program as a screen reader sees it: under a private X server, with a private session bus
// and the accessibility bus launcher on it, driven only through the accessibility bus.

#include "tests/support/application.h"
#include "tests/support/qt_files.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
constexpr int kPatienceMs = 30000;

bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(kPatienceMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// A helper process of the test, ended when the test ends.
struct Helper
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();

    // Starts the program and returns the first line it writes (a display number, a bus address).
    QString Start(const QString& program, const QStringList& args, const QProcessEnvironment& env)
    {
        process->setProcessEnvironment(env);
        process->start(program, args);
        QString line;
        waitUntil([&] {
            if (process->canReadLine())
                line = QString::fromUtf8(process->readLine()).trimmed();
            return !line.isEmpty() || process->state() == QProcess::NotRunning;
        });
        return line;
    }
    ~Helper()
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }
};

const auto* const application = UseTestApplication<QCoreApplication>("test_accessibility_bus");

// An object on the accessibility bus.
struct Accessible
{
    QString service;
    QString path;
};

class AccessibilityBus : public testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
            !QFile::exists(kLauncher))
            GTEST_SKIP() << "needs Xvfb, dbus-daemon and at-spi2-core";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"QT_QPA_PLATFORM", "VENTIRO_SHOWCMD", "WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS", "XAUTHORITY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), qtPath(m_dir));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qtPath(m_dir));

        const QString display =
            m_xvfb.Start(QStringLiteral("Xvfb"),
                         {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")},
                         env);
        ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
        env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + display);
        const QString session = m_session.Start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
            env);
        ASSERT_FALSE(session.isEmpty()) << "dbus-daemon did not start";
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session);
        m_launcher.process->setProcessEnvironment(env);
        m_launcher.process->start(kLauncher, {QStringLiteral("--launch-immediately")});

        // The launcher names the accessibility bus on the session bus.
        QDBusConnection sessionBus = QDBusConnection::connectToBus(session, QStringLiteral("session"));
        QString address;
        ASSERT_TRUE(waitUntil([&] {
            const QDBusMessage reply = sessionBus.call(QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
            if (reply.type() == QDBusMessage::ReplyMessage)
                address = reply.arguments().value(0).toString();
            return !address.isEmpty();
        })) << "no accessibility bus";
        m_bus =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, QStringLiteral("a11y")));
        ASSERT_TRUE(m_bus->isConnected());

        // The program runs from a folder of its own, where it keeps its INI file.
        const QString binary = qtPath(m_dir, QStringLiteral("ventiro"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VENTIRO_BINARY), binary));
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        m_panel.process->setProcessEnvironment(env);
        m_panel.process->start(binary, {});
        ASSERT_TRUE(waitUntil([&] {
            // Found by its own connection, whether or not the registry has listed it yet.
            const QString registry =
                m_bus->interface()->serviceOwner(QStringLiteral("org.a11y.atspi.Registry")).value();
            for (const QString& name : m_bus->interface()->registeredServiceNames().value()) {
                const Accessible root{name, QStringLiteral("/org/a11y/atspi/accessible/root")};
                if (name.startsWith(QLatin1Char(':')) && name != registry && name != m_bus->baseService() &&
                    !Find(root, "Cimatron E", "push button").path.isEmpty()) {
                    m_app = root;
                    return true;
                }
            }
            return false;
        })) << "the panel did not appear on the accessibility bus (panel state "
            << m_panel.process->state() << ", exit code " << m_panel.process->exitCode() << ", output "
            << m_panel.process->readAll().toStdString() << ")";
        for (const Accessible& window : Children(m_app)) {
            if (!Find(window, "Cimatron E", "push button").path.isEmpty())
                m_main = window;
        }
        ASSERT_FALSE(m_main.path.isEmpty());
    }

    void TearDown() override
    {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
        QDBusConnection::disconnectFromBus(QStringLiteral("session"));
    }

    QDBusMessage Call(const Accessible& object, const char* interface, const char* method,
                      const QVariantList& args = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            object.service, object.path, QLatin1String("org.a11y.atspi.") + QLatin1String(interface),
            QLatin1String(method));
        message.setArguments(args);
        return m_bus->call(message, QDBus::Block, 5000);
    }

    QList<Accessible> Children(const Accessible& object) const
    {
        QList<Accessible> children;
        const QDBusMessage reply = Call(object, "Accessible", "GetChildren");
        if (reply.type() != QDBusMessage::ReplyMessage)
            return children;
        const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString service;
            QDBusObjectPath path;
            list.beginStructure();
            list >> service >> path;
            list.endStructure();
            children.push_back({service, path.path()});
        }
        list.endArray();
        return children;
    }

    QString Name(const Accessible& object) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            object.service, object.path, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        message.setArguments({QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
        return m_bus->call(message).arguments().value(0).value<QDBusVariant>().variant().toString();
    }

    // The first object below `from` with this name and role (such as "push button").
    Accessible Find(const Accessible& from, const QString& name, const char* role) const
    {
        for (const Accessible& child : Children(from)) {
            if (Name(child) == name &&
                Call(child, "Accessible", "GetRoleName").arguments().value(0).toString() ==
                    QLatin1String(role))
                return child;
            const Accessible found = Find(child, name, role);
            if (!found.path.isEmpty())
                return found;
        }
        return {};
    }

    bool HasState(const Accessible& object, int bit) const
    {
        const QList<uint> words =
            qdbus_cast<QList<uint>>(Call(object, "Accessible", "GetState").arguments().value(0));
        return words.size() == 2 && (words[bit / 32] >> (bit % 32) & 1u) != 0;
    }
    static constexpr int kEnabled = 8, kSensitive = 24, kVisible = 30;
    bool Available(const Accessible& button) const
    {
        return HasState(button, kEnabled) && HasState(button, kSensitive);
    }

    // The program's windows on screen whose caption begins with `caption`.
    QList<Accessible> Shown(const QString& caption) const
    {
        QList<Accessible> shown;
        for (const Accessible& window : Children(m_app))
            if (Name(window).startsWith(caption) && HasState(window, kVisible))
                shown.push_back(window);
        return shown;
    }

    // The press action of a button: the reply tells whether it was taken.
    bool Press(const Accessible& button) const
    {
        const QDBusMessage reply = Call(button, "Action", "DoAction", {0});
        return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
    }

    TempDir m_dir;
    Helper m_xvfb, m_session, m_launcher, m_panel; // ended in reverse order
    std::unique_ptr<QDBusConnection> m_bus;
    Accessible m_app, m_main;
};

TEST_F(AccessibilityBus, ModalWindowsHoldOffEveryPressOfTheMainWindow)
{
    const QString settings = QStringLiteral("Einstellungen");
    const QString message = QStringLiteral("Cimatron-E Version 4.xx Startpanel"); // the application title
    const Accessible cimE = Find(m_main, "Cimatron E", "push button");
    const Accessible simula = Find(m_main, "Simula", "push button");
    const Accessible einstellungen = Find(m_main, "Einstellungen", "push button");
    ASSERT_TRUE(Available(cimE));

    // The press returns while the settings window it opens stays open.
    ASSERT_TRUE(Press(einstellungen));
    ASSERT_TRUE(waitUntil([&] { return Shown(settings).size() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return !Available(cimE) && !Available(simula); }));
    // Pressed anyway, they start nothing: a launch from the default table would report its missing
    // program in a message.
    Press(cimE);
    Press(simula);
    Press(einstellungen);
    EXPECT_FALSE(Available(cimE)); // a round trip after the presses
    EXPECT_TRUE(Shown(message).isEmpty());
    EXPECT_EQ(Shown(settings).size(), 1);

    ASSERT_TRUE(Press(Find(Shown(settings).value(0), "Schliessen", "push button")));
    ASSERT_TRUE(waitUntil([&] { return Available(cimE); }));
    EXPECT_TRUE(Shown(settings).isEmpty());

    // Available again: the launch runs and reports the missing program; while its message is up,
    // another launching button is not available and starts nothing.
    ASSERT_TRUE(Press(cimE));
    ASSERT_TRUE(waitUntil([&] { return Shown(message).size() == 1; }));
    EXPECT_FALSE(Available(simula));
    Press(simula);
    EXPECT_FALSE(Available(simula));
    EXPECT_EQ(Shown(message).size(), 1);
    ASSERT_TRUE(Press(Find(Shown(message).value(0), "OK", "push button")));
    EXPECT_TRUE(waitUntil([&] { return Shown(message).isEmpty() && Available(simula); }));
}

} // namespace
