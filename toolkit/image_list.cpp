#include "toolkit/image_list.h"

void TImageList::AddStrip(const QPixmap& strip, int count)
{
    if (m_width <= 0 || m_height <= 0)
        return;
    const int perRow = strip.width() / m_width;
    if (perRow <= 0)
        return;
    for (int i = 0; i < count; ++i) {
        const int x = (i % perRow) * m_width;
        const int y = (i / perRow) * m_height;
        if (y + m_height > strip.height())
            break;
        m_images.push_back(strip.copy(x, y, m_width, m_height));
    }
}

QPixmap TImageList::Get(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_images[static_cast<std::size_t>(index)];
}
