#include "toolkit/action_toolbar.h"

#include "toolkit/ansi.h"
#include "toolkit/image_list.h"
#include "toolkit/status_bar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <optional>

namespace {

constexpr int kButtonMargin = 4;
constexpr int kGlyphSize = 16;
constexpr int kCaptionGap = 2; // between glyph and caption
constexpr int kRowHeight = 24;
constexpr int kRowGap = 2;

// The caption without its "&" markers, and the position of the accelerator letter (-1 if none).
QString PlainCaption(const std::string& caption, int* accelerator)
{
    const QString text = toQString(caption);
    QString plain;
    *accelerator = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && *accelerator < 0)
                *accelerator = static_cast<int>(plain.size());
        }
        plain += text[i];
    }
    return plain;
}

} // namespace

// One flat button: glyph then caption; raised while hovered, sunken while pressed.
class TActionToolButton : public QWidget
{
public:
    TActionToolButton(QWidget* parent, const TActionClientItem& item, QPixmap glyph)
        : QWidget(parent), m_action(item.Action), m_glyph(std::move(glyph))
    {
        m_text = PlainCaption(item.Caption, &m_accelerator);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        setAccessibleName(m_text);
        if (m_action)
            SetHint(this, m_action->Hint);
    }

    TAction* Action() const { return m_action; }

    // Runs the action, unless the button is disabled (as it is while a modal window blocks its
    // window). Checked when the action is about to run, so a press queued earlier is inert as well.
    void Click()
    {
        if (isEnabled() && m_action != nullptr)
            m_action->Execute();
    }

    // A press by assistive technology: returns at once, and the action runs right after from the
    // event loop, so a modal window it opens does not hold the caller until it closes.
    void Press()
    {
        if (isEnabled())
            QMetaObject::invokeMethod(
                this, [this] { Click(); }, Qt::QueuedConnection);
    }

    int PreferredWidth() const
    {
        return kButtonMargin + kGlyphSize + kCaptionGap + Measures().width + kButtonMargin;
    }

protected:
    void enterEvent(QEnterEvent*) override
    {
        m_hover = true;
        update();
    }
    void leaveEvent(QEvent*) override
    {
        m_hover = false;
        update();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) {
            m_pressed = true;
            update();
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const bool inside = rect().contains(event->position().toPoint());
        if (inside != m_hover) {
            m_hover = inside;
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !m_pressed)
            return;
        m_pressed = false;
        update();
        if (rect().contains(event->position().toPoint()))
            Click();
    }
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange)
            m_measures.reset();
        // A button disabled in the middle of a press (a modal window came up) starts afresh.
        if (event->type() == QEvent::EnabledChange && !isEnabled()) {
            m_pressed = false;
            m_hover = false;
            update();
        }
        QWidget::changeEvent(event);
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const bool sunken = m_pressed && m_hover;
        if (sunken || m_hover) {
            const QColor light = palette().color(QPalette::Light);
            const QColor dark = palette().color(QPalette::Dark);
            const QColor topLeft = sunken ? dark : light;
            const QColor bottomRight = sunken ? light : dark;
            const QRect r = rect().adjusted(0, 0, -1, -1);
            painter.setPen(topLeft);
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(bottomRight);
            painter.drawLine(r.bottomLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomRight());
        }
        const int shift = sunken ? 1 : 0;
        int x = kButtonMargin + shift;
        if (!m_glyph.isNull())
            painter.drawPixmap(x, (height() - kGlyphSize) / 2 + shift, m_glyph);
        x += kGlyphSize + kCaptionGap;
        const QFontMetrics metrics = fontMetrics();
        const int baseline = (height() - metrics.height()) / 2 + metrics.ascent() + shift;
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(x, baseline, m_text);
        if (m_accelerator >= 0) {
            const TextMeasures& measures = Measures();
            const int ux = x + measures.acceleratorLeft;
            const int uy = baseline + metrics.underlinePos();
            painter.drawLine(ux, uy, ux + measures.acceleratorWidth - 1, uy);
        }
    }

private:
    // The caption's widths in the button's font, measured once: the tool bar asks for them at each
    // layout, and shaping the text again each time is most of a layout's cost.
    struct TextMeasures
    {
        int width = 0;
        int acceleratorLeft = 0;
        int acceleratorWidth = 0;
    };

    const TextMeasures& Measures() const
    {
        if (!m_measures) {
            const QFontMetrics metrics = fontMetrics();
            TextMeasures measures;
            measures.width = metrics.horizontalAdvance(m_text);
            if (m_accelerator >= 0) {
                measures.acceleratorLeft = metrics.horizontalAdvance(m_text.left(m_accelerator));
                measures.acceleratorWidth = metrics.horizontalAdvance(m_text.mid(m_accelerator, 1));
            }
            m_measures = measures;
        }
        return *m_measures;
    }

    TAction* m_action;
    QPixmap m_glyph;
    QString m_text;
    int m_accelerator = -1;
    mutable std::optional<TextMeasures> m_measures;
    bool m_hover = false;
    bool m_pressed = false;
};

namespace {

// Screen readers see each button as a push button named by its caption, with a press action.
class TActionToolButtonAccessible : public QAccessibleWidget
{
public:
    explicit TActionToolButtonAccessible(TActionToolButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {}

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override
    {
        if (actionName == pressAction())
            static_cast<TActionToolButton*>(widget())->Press();
    }
};

QAccessibleInterface* toolButtonAccessibleFactory(const QString&, QObject* object)
{
    if (auto* button = dynamic_cast<TActionToolButton*>(object))
        return new TActionToolButtonAccessible(button);
    return nullptr;
}

} // namespace

TActionToolBar::TActionToolBar(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(toolButtonAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setFocusPolicy(Qt::NoFocus);
}

void TActionToolBar::SetActionManager(TActionManager* manager)
{
    m_manager = manager;
    Rebuild();
}

void TActionToolBar::SetItems(std::vector<TActionClientItem> items)
{
    m_items = std::move(items);
    Rebuild();
}

int TActionToolBar::RowCount() const
{
    return std::max<int>(1, static_cast<int>(m_rowTops.size()));
}

QWidget* TActionToolBar::Button(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_buttons.size()))
        return nullptr;
    return m_buttons[static_cast<std::size_t>(index)];
}

void TActionToolBar::Rebuild()
{
    for (TActionToolButton* button : m_buttons)
        delete button;
    m_buttons.clear();
    for (const TActionClientItem& item : m_items) {
        int image = item.ImageIndex;
        if (image < 0 && item.Action)
            image = item.Action->ImageIndex;
        QPixmap glyph;
        if (m_manager && m_manager->Images)
            glyph = m_manager->Images->Get(image);
        auto* button = new TActionToolButton(this, item, glyph);
        button->show();
        m_buttons.push_back(button);
    }
    Relayout();
}

void TActionToolBar::Relayout()
{
    m_rowTops.clear();
    int x = HorzMargin;
    int y = VertMargin;
    bool firstInRow = true;
    if (!m_buttons.empty())
        m_rowTops.push_back(y);
    for (TActionToolButton* button : m_buttons) {
        const int w = button->PreferredWidth();
        if (!firstInRow && width() - x < w + HorzMargin) {
            y += kRowHeight + 2 * VertMargin + kRowGap;
            x = HorzMargin;
            m_rowTops.push_back(y);
        }
        button->setGeometry(x, y, w, kRowHeight);
        x += w + Spacing;
        firstInRow = false;
    }
    const int rows = RowCount();
    const int h = rows * (kRowHeight + 2 * VertMargin) + kRowGap * (rows - 1);
    if (height() != h || minimumHeight() != h)
        setFixedHeight(h);
    update();
}

void TActionToolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (event->oldSize().width() != event->size().width())
        Relayout();
}

// A new font gives the captions new widths (the buttons have heard of it first).
void TActionToolBar::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Relayout();
}

void TActionToolBar::paintEvent(QPaintEvent*)
{
    if (!HorzSeparator || m_rowTops.size() < 2)
        return;
    QPainter painter(this);
    for (std::size_t i = 1; i < m_rowTops.size(); ++i) {
        // The separator sits in the gap between the rows: a dark line over a light one.
        const int y = m_rowTops[i] - VertMargin - kRowGap;
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, y, width() - 1, y);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, y + 1, width() - 1, y + 1);
    }
}
