#include "startup_feedback.h"

#include "application.h"

#include "platform/startup_notification.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace {

// The sequences of this process and the watch on the display's news while any runs.
class Feedback : public QObject
{
public:
    std::string begin(const char* file)
    {
        const std::string name = file != nullptr ? file : "";
        const std::string id = m_feedback.Begin(name.substr(name.find_last_of("/\\") + 1), name,
                                                Application != nullptr ? Application->LastInputTime() : 0);
        if (id.empty())
            return id;
        watch();
        QTimer::singleShot(kStartupFeedbackMs, this, [this, id] { end(id); });
        return id;
    }

    void end(const std::string& id)
    {
        m_feedback.End(id);
        watch();
    }

private:
    // Follows the descriptor of the display's news: a new one after each reconnection, none once no
    // sequence runs.
    void watch()
    {
        const int fd = m_feedback.EventDescriptor();
        if (m_notifier && static_cast<int>(m_notifier->socket()) == fd)
            return;
        m_notifier.reset();
        if (fd < 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this, fd] {
            m_feedback.ReadEvents();
            if (m_feedback.EventDescriptor() == fd)
                return;
            // The last sequence ended: the notifier goes once it has finished reporting.
            m_notifier->setEnabled(false);
            QMetaObject::invokeMethod(
                this, [this] { watch(); }, Qt::QueuedConnection);
        });
    }

    platform::StartupFeedback m_feedback;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

Feedback* feedback()
{
    // Only on X11, and only while the application runs: the sequences end with it.
    static QPointer<Feedback> instance;
    if (Application == nullptr || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    if (instance == nullptr) {
        instance = new Feedback;
        instance->setParent(Application);
    }
    return instance;
}

} // namespace

std::string BeginStartupFeedback(const char* file)
{
    Feedback* f = feedback();
    const std::string id = f != nullptr ? f->begin(file) : std::string();
    platform::SetChildStartupId(id);
    return id;
}

void EndStartupFeedback(const std::string& id, bool started)
{
    platform::SetChildStartupId(std::string());
    if (!started && !id.empty()) {
        if (Feedback* f = feedback())
            f->end(id);
    }
}
