#include "status_bar.h"

#include "ansi.h"

#include <QPainter>
#include <QStyleOption>

namespace {

constexpr const char* kHint = "ventiroHint";
constexpr const char* kShowHint = "ventiroShowHint";
constexpr const char* kParentShowHint = "ventiroParentShowHint";

} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);
    setAccessibleName(QStringLiteral("Status"));
}

void TStatusBar::SetSimpleText(const std::string& text)
{
    if (text == m_simpleText)
        return;
    m_simpleText = text;
    setAccessibleDescription(toQString(text));
    update();
}

void TStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textRect = rect().adjusted(4, 1, -16, 0);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                     fontMetrics().elidedText(toQString(m_simpleText), Qt::ElideRight, textRect.width()));
    // The size grip in the right-hand corner, only where the window shows the whole bar: a bar wider
    // than a window at its minimum width would show a sliver of it.
    if (parentWidget() != nullptr && !isWindow() && geometry().right() >= parentWidget()->width())
        return;
    painter.setPen(palette().color(QPalette::Dark));
    for (int i = 0; i < 3; ++i) {
        const int o = 4 + 4 * i;
        painter.drawLine(width() - o, height() - 2, width() - 2, height() - o);
    }
}

void SetHint(QWidget* control, const std::string& hint)
{
    control->setProperty(kHint, QByteArray::fromStdString(hint));
}

std::string Hint(const QWidget* control)
{
    return control->property(kHint).toByteArray().toStdString();
}

void SetShowHint(QWidget* control, bool show)
{
    control->setProperty(kShowHint, show);
    control->setProperty(kParentShowHint, false);
}

void SetParentShowHint(QWidget* control, bool parent)
{
    control->setProperty(kParentShowHint, parent);
}

bool ShowHintInForce(const QWidget* control)
{
    for (const QWidget* w = control; w != nullptr; w = w->parentWidget()) {
        const QVariant parent = w->property(kParentShowHint);
        const QVariant own = w->property(kShowHint);
        if (own.isValid() && !(parent.isValid() && parent.toBool()))
            return own.toBool();
        if (w->isWindow())
            break;
    }
    return false;
}
