// Hints: the long form goes to the status bar of the window under the mouse, the short form is the
// tooltip.
#include "application.h"

#include "ansi.h"
#include "forms.h"
#include "status_bar.h"

#include <QHelpEvent>
#include <QToolTip>

namespace {

std::string shortHint(const std::string& hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string longHint(const std::string& hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// The first non-empty hint from the control up through its parents.
std::string hintAt(const QWidget* control)
{
    for (const QWidget* w = control; w != nullptr; w = w->parentWidget()) {
        const std::string h = Hint(w);
        if (!h.empty())
            return h;
        if (w->isWindow())
            break;
    }
    return std::string();
}

bool offerHint(QWidget* window, const std::string& hint)
{
    if (window == nullptr)
        return false;
    bool taken = false;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        auto* bar = dynamic_cast<TStatusBar*>(child);
        if (bar != nullptr && bar->AutoHint && bar->window() == window) {
            bar->SetSimpleText(hint);
            taken = true;
        }
    }
    return taken;
}

} // namespace

void TApplication::updateHint(const QWidget* under)
{
    const std::string hint = under ? longHint(hintAt(under)) : std::string();
    if (hint == m_hint)
        return;
    m_hint = hint;
    QWidget* active = activeWindow();
    if (active == nullptr && under != nullptr)
        active = const_cast<QWidget*>(under)->window();
    if (!offerHint(active, hint) && m_mainForm != nullptr)
        offerHint(m_mainForm, hint);
}

void TApplication::showToolTip(QWidget* control, const QHelpEvent& request)
{
    const std::string tip = shortHint(hintAt(control));
    if (!ShowHintInForce(control) || tip.empty())
        QToolTip::hideText();
    else
        QToolTip::showText(request.globalPos(), toQString(tip), control, QRect(), 2500);
}
