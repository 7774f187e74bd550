#include "message_dialog.h"

#include "ansi.h"
#include "application.h"
#include "panel_style.h"
#include "services.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

int mulDiv(int a, int b, int c)
{
    return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}

// CR, LF and CR LF each break the line.
QString withLineBreaks(const std::string& text)
{
    QString s = toQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

const char* const kDivider = "---------------------------\r\n";

// The system's message font. Where this machine lacks its face, the font mapper picks a substitute
// of any kind, often a serif one (Windows names "MS Shell Dlg" there, which a Wine prefix without
// Wine's own fonts maps to a mathematical serif face): the nearest sans-serif outline face it has is
// named instead, at the same size.
QFont messageFont()
{
    QFont font = QApplication::font("QMessageBox");
    if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) == 0)
        return font;
    const QString face = InstalledOutlineFace(
        {"Segoe UI", "Tahoma", "Microsoft Sans Serif", "DejaVu Sans", "Liberation Sans", "Arial"});
    if (!face.isEmpty())
        font.setFamilies({face});
    return font;
}

} // namespace

Qt::WindowFlags FixedDialogFlags()
{
    // Customized, so that no button is added by default; the window system gets exactly these.
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
}

TMessageForm::TMessageForm(const std::string& message)
    : QDialog(nullptr, FixedDialogFlags()), m_message(message),
      m_caption(Application ? Application->Title() : std::string())
{
    setObjectName(QStringLiteral("MessageForm"));
    setWindowTitle(toQString(m_caption));
    setFont(messageFont());

    const QFontMetrics fm(font());
    const int unitX =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int unitY = fm.height();
    const int hMargin = mulDiv(8, unitX, 4);
    const int vMargin = mulDiv(8, unitY, 8);
    const int vSpacing = mulDiv(10, unitY, 8);
    const int buttonHeight = mulDiv(14, unitY, 8);
    const int buttonWidth = std::max(mulDiv(50, unitX, 4), fm.horizontalAdvance(QStringLiteral("OK")) + 8);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1024;
    const QString text = withLineBreaks(message);
    const QRect measured =
        fm.boundingRect(QRect(0, 0, screenWidth / 2, 0), Qt::TextWordWrap | Qt::TextExpandTabs, text);

    const int clientWidth = std::max(measured.width(), buttonWidth) + 2 * hMargin;
    const int clientHeight = measured.height() + buttonHeight + vSpacing + 2 * vMargin;

    Message = new QLabel(this);
    Message->setObjectName(QStringLiteral("Message"));
    Message->setTextFormat(Qt::PlainText);
    Message->setWordWrap(true);
    Message->setText(text);
    Message->setGeometry(hMargin, vMargin, measured.width(), measured.height());
    Message->setAccessibleName(text);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);
    OK->setGeometry((clientWidth - buttonWidth) / 2, measured.height() + vMargin + vSpacing, buttonWidth,
                    buttonHeight);
    connect(OK, &QPushButton::clicked, this, [this] { done(1); });

    setFixedSize(clientWidth, clientHeight);
    if (screen != nullptr)
        move(screen->geometry().center() - QPoint(clientWidth / 2, clientHeight / 2));
}

std::string TMessageForm::ClipboardText() const
{
    return std::string(kDivider) + m_caption + "\r\n" + kDivider + m_message + "\r\n" + kDivider +
           "OK   \r\n" + kDivider;
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
        QApplication::beep();
        if (!Services().writeClipboard(toQString(ClipboardText()))) {
            // Shown by the error display; the dialog stays open.
            if (Application != nullptr)
                Application->HandleException(std::make_exception_ptr(Exception("Cannot open clipboard")));
        }
        return;
    }
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        done(1);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMessageForm::reject()
{
    // The close box cancels; Esc is handled above and gives OK.
    done(2);
}

void ShowMessage(const std::string& message)
{
    TMessageForm dialog(message);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}
