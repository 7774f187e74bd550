#include "toolkit/image_list.h"

#include <QGuiApplication>
#include <QIcon>
#include <QResource>
#include <QString>

QImage RawImage(const QString& resource, int width)
{
    const QResource file(resource);
    if (!file.isValid() || width <= 0)
        return {};
    // Uncompressed resources are handed out in place, without a copy.
    const QByteArray bytes = file.uncompressedData();
    const qsizetype row = qsizetype(width) * 4;
    if (bytes.isEmpty() || bytes.size() % row != 0)
        return {};
    const QImage view(reinterpret_cast<const uchar*>(bytes.constData()), width, int(bytes.size() / row), row,
                      QImage::Format_RGBA8888);
    // The form every paint engine draws from; the conversion also makes the image own its pixels.
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QIcon RawIcon(const QString& name, int size)
{
    QIcon icon;
    const QImage normal = RawImage(name + QStringLiteral(".rgba"), size);
    if (!normal.isNull())
        icon.addPixmap(QPixmap::fromImage(normal));
    const QImage large = RawImage(name + QStringLiteral("@2x.rgba"), 2 * size);
    if (!large.isNull())
        icon.addPixmap(QPixmap::fromImage(large));
    return icon;
}

void TImageList::AddStrip(const QPixmap& strip, int count, const QPixmap& strip2x)
{
    if (m_width <= 0 || m_height <= 0)
        return;
    const int perRow = strip.width() / m_width;
    if (perRow <= 0)
        return;
    const bool large = strip2x.width() == 2 * strip.width() && strip2x.height() == 2 * strip.height();
    for (int i = 0; i < count; ++i) {
        const int x = (i % perRow) * m_width;
        const int y = (i / perRow) * m_height;
        if (y + m_height > strip.height())
            break;
        m_images.push_back(strip.copy(x, y, m_width, m_height));
        QPixmap image2x;
        if (large) {
            image2x = strip2x.copy(2 * x, 2 * y, 2 * m_width, 2 * m_height);
            image2x.setDevicePixelRatio(2);
        }
        m_images2x.resize(m_images.size());
        m_images2x.back() = image2x;
    }
}

QPixmap TImageList::Get(int index) const
{
    return Get(index, qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0);
}

QPixmap TImageList::Get(int index, qreal devicePixelRatio) const
{
    if (index < 0 || index >= Count())
        return {};
    const auto i = static_cast<std::size_t>(index);
    if (devicePixelRatio > 1 && i < m_images2x.size() && !m_images2x[i].isNull())
        return m_images2x[i];
    return m_images[i];
}
