#include "panel_style.h"

#include <QFontDatabase>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

namespace {

class PanelStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 500;
        if (hint == SH_ToolTip_FallAsleepDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    // Group boxes get the etched frame of the Windows desktop: a dark rectangle and a light one a
    // pixel lower right. The style's own frame is a picture that would be read through the image
    // plug-ins at the first paint. The edges are filled, not stroked: a stroked rectangle costs the
    // first paint many times more.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QRect& r = option->rect;
        const auto edges = [&](int left, int top, const QColor& colour) {
            const int w = r.width() - 1, h = r.height() - 1;
            painter->fillRect(left, top, w, 1, colour);
            painter->fillRect(left, top + h - 1, w, 1, colour);
            painter->fillRect(left, top, 1, h, colour);
            painter->fillRect(left + w - 1, top, 1, h, colour);
        };
        edges(r.left(), r.top(), option->palette.color(QPalette::Dark));
        edges(r.left() + 1, r.top() + 1, option->palette.color(QPalette::Light));
    }
};

} // namespace

QStyle* NewPanelStyle(const QString& base)
{
    return new PanelStyle(base);
}

QString InstalledOutlineFace(std::initializer_list<const char*> faces)
{
    const QStringList installed = QFontDatabase::families();
    for (const char* face : faces) {
        const QString name = QString::fromLatin1(face);
        if (installed.contains(name, Qt::CaseInsensitive) && QFontDatabase::isSmoothlyScalable(name))
            return name;
    }
    return QString();
}
