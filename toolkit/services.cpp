#include "services.h"

#include "ansi.h"
#include "message_dialog.h"
#include "startup_feedback.h"

#include "platform/shell.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

namespace {

bool writeSystemClipboard(const QString& text)
{
    QClipboard* clipboard = QApplication::clipboard();
    if (clipboard == nullptr)
        return false;
    clipboard->setText(text);
    // The window system may refuse the selection; then the clipboard still holds what it held.
    return clipboard->text() == text;
}

void showErrorBox(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, toQString(caption), toQString(text), QMessageBox::Ok);
    // The modality first: the message box sets its window flags anew when it changes.
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlags(FixedDialogFlags());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

TServices withDefaults(TServices services)
{
    if (!services.shellOpen) {
        services.shellOpen = [](void* owner, const char* operation, const char* file, const char* parameters,
                                const char* directory, int showCmd) {
            return StartWithFeedback(file, [&] {
                return platform::ShellExecuteA(owner, operation, file, parameters, directory, showCmd);
            });
        };
    }
    if (!services.showMessage)
        services.showMessage = [](const std::string& text) { ShowMessage(text); };
    if (!services.writeClipboard)
        services.writeClipboard = writeSystemClipboard;
    if (!services.showError)
        services.showError = showErrorBox;
    return services;
}

TServices& current()
{
    static TServices services = withDefaults({});
    return services;
}

} // namespace

const TServices& Services()
{
    return current();
}

void SetServices(TServices services)
{
    current() = withDefaults(std::move(services));
}
