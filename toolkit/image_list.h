#pragma once

#include <QPixmap>

#include <vector>

// Glyphs of one size, each with a transparency mask, addressed by index.
class TImageList
{
public:
    TImageList(int width, int height) : m_width(width), m_height(height) {}

    // Cuts a strip into images of Width x Height, left to right and top to bottom.
    void AddStrip(const QPixmap& strip, int count);
    void Add(const QPixmap& image) { m_images.push_back(image); }

    int Count() const { return static_cast<int>(m_images.size()); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    QPixmap Get(int index) const; // a null pixmap for an index out of range

private:
    int m_width;
    int m_height;
    std::vector<QPixmap> m_images;
};
