#include "toolkit/status_bar.h"

#include "toolkit/ansi.h"

#include <QVariant>

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {}

void TStatusBar::SetPanelCount(int count)
{
    m_panelCount = count;
}

void TStatusBar::SetSimpleText(const std::string& text)
{
    m_simpleText = text;
    update();
}

void SetHint(QWidget* control, const std::string& hint)
{
    control->setProperty("ventiroHint", QByteArray::fromStdString(hint));
    const std::size_t bar = hint.find('|');
    control->setToolTip(toQString(hint.substr(0, bar)));
}

std::string Hint(const QWidget* control)
{
    return control->property("ventiroHint").toByteArray().toStdString();
}

void SetShowHint(QWidget* control, bool show)
{
    control->setProperty("ventiroShowHint", show);
}
void SetParentShowHint(QWidget* control, bool parent)
{
    control->setProperty("ventiroParentShowHint", parent);
}
