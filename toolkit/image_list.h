#pragma once

#include <QImage>
#include <QPixmap>

#include <vector>

class QString;

// Raw RGBA pixels carried as a resource (four bytes a pixel, rows top down, `width` pixels a row,
// as scripts/make-glyphs writes them): read without an image decoder or plug-in. A null image if the
// resource is missing or its size is no whole number of rows.
QImage RawImage(const QString& resource, int width);

// A square icon of raw RGBA pixels in its size and at twice the size (<name>.rgba and
// <name>@2x.rgba): Qt takes the larger one on screens scaled above 1.
QIcon RawIcon(const QString& name, int size);

// Glyphs of one size, each with a transparency mask, addressed by index. Each glyph may also be
// drawn at twice the size, for screens scaled above 1.
class TImageList
{
public:
    TImageList(int width, int height) : m_width(width), m_height(height) {}

    // Cuts a strip into images of Width x Height, left to right and top to bottom; a strip of the
    // same layout at twice the size gives the glyphs for scaled screens.
    void AddStrip(const QPixmap& strip, int count, const QPixmap& strip2x = {});
    void Add(const QPixmap& image) { m_images.push_back(image); }

    int Count() const { return static_cast<int>(m_images.size()); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The glyph for the application's scale factor (the drawing at twice the size, with that pixel
    // ratio, above 1); a null pixmap for an index out of range.
    QPixmap Get(int index) const;
    QPixmap Get(int index, qreal devicePixelRatio) const;

private:
    int m_width;
    int m_height;
    std::vector<QPixmap> m_images;
    std::vector<QPixmap> m_images2x;
};
