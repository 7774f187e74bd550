#include "tests/support/application.h"
#include "tests/support/qt_files.h"
#include "toolkit/image_list.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

const auto* const application = UseTestApplication<QApplication>("test_glyphs");

const QString kSource = QStringLiteral(VENTIRO_SOURCE_DIR);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeGlyphs(const QString& folder)
{
    QProcess script;
    script.start(QStringLiteral("bash"), {kSource + QStringLiteral("/scripts/make-glyphs"), folder});
    return script.waitForFinished(150000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

// The chunk types of a PNG file, with the keyword of each text chunk ("tEXt:date:create").
QStringList pngChunks(const QByteArray& png)
{
    QStringList chunks;
    qsizetype at = 8;
    while (at + 8 <= png.size()) {
        const auto* p = reinterpret_cast<const uchar*>(png.constData() + at);
        const qsizetype length = qsizetype(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        QString type = QString::fromLatin1(png.mid(at + 4, 4));
        if (type == QLatin1String("tEXt") || type == QLatin1String("zTXt") || type == QLatin1String("iTXt"))
            type += QLatin1Char(':') + QString::fromLatin1(png.mid(at + 8, length).split('\0').first());
        chunks << type;
        at += 12 + length;
    }
    return chunks;
}

const char* const kArtwork[] = {"glyphs",      "glyphs@2x",     "MAINICON",
                                "MAINICON@2x", "einstellungen", "einstellungen@2x"};

} // namespace

TEST(Glyphs, ScriptDrawsTheSameBytesEveryTimeAndTheProgramCarriesThem)
{
    const TempDir first, second;
    ASSERT_TRUE(makeGlyphs(qtPath(first)));
    ASSERT_TRUE(makeGlyphs(qtPath(second)));
    for (const char* name : kArtwork) {
        SCOPED_TRACE(name);
        for (const char* suffix : {".png", ".rgba"}) {
            const QString file = QString::fromLatin1(name) + QLatin1String(suffix);
            const QByteArray drawn = readAll(qtPath(first, file));
            ASSERT_FALSE(drawn.isEmpty()) << file.toStdString();
            EXPECT_EQ(drawn, readAll(qtPath(second, file))) << file.toStdString();
            // What the tree holds is what the script draws now.
            EXPECT_EQ(drawn, readAll(kSource + QStringLiteral("/resources/") + file)) << file.toStdString();
        }
        const QStringList chunks = pngChunks(readAll(qtPath(first, QString::fromLatin1(name) + ".png")));
        EXPECT_FALSE(chunks.contains(QStringLiteral("tIME")));
        for (const QString& chunk : chunks)
            EXPECT_FALSE(chunk.contains(QStringLiteral("date"))) << chunk.toStdString();

        // The raw pixels are the picture's pixels.
        const QImage png = QImage(qtPath(first, QString::fromLatin1(name) + ".png"))
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(png.isNull());
        const QImage raw = RawImage(QStringLiteral(":/") + name + ".rgba", png.width());
        ASSERT_EQ(raw.size(), png.size());
        int differing = 0;
        for (int y = 0; y < png.height(); ++y)
            differing += std::memcmp(raw.constScanLine(y), png.constScanLine(y), png.width() * 4) != 0;
        EXPECT_EQ(differing, 0) << "rows differ";
    }
}

TEST(Glyphs, ScaledScreensGetTheDrawingAtTwiceTheSize)
{
    TImageList images(16, 16);
    images.AddStrip(QPixmap::fromImage(RawImage(QStringLiteral(":/glyphs.rgba"), 64)), 24,
                    QPixmap::fromImage(RawImage(QStringLiteral(":/glyphs@2x.rgba"), 128)));
    ASSERT_EQ(images.Count(), 24);
    struct Case
    {
        qreal ratio;
        int pixels;
    };
    for (const Case c : {Case{1, 16}, Case{1.25, 32}, Case{2, 32}, Case{3, 32}}) {
        SCOPED_TRACE(c.ratio);
        for (int index : {0, 23}) {
            const QPixmap glyph = images.Get(index, c.ratio);
            EXPECT_EQ(glyph.width(), c.pixels);
            // Painted, it covers 16 x 16 logical pixels at every ratio.
            EXPECT_EQ(glyph.deviceIndependentSize(), QSizeF(16, 16));
            EXPECT_TRUE(glyph.hasAlphaChannel());
        }
    }
    // Without the larger strip every screen gets the glyphs in their size; bad input gives nothing.
    TImageList plain(16, 16);
    plain.AddStrip(QPixmap::fromImage(RawImage(QStringLiteral(":/glyphs.rgba"), 64)), 24);
    EXPECT_EQ(plain.Get(5, 2).width(), 16);
    EXPECT_TRUE(plain.Get(24, 2).isNull());
    EXPECT_TRUE(RawImage(QStringLiteral(":/glyphs.rgba"), 60).isNull()); // no whole number of rows
    EXPECT_TRUE(RawImage(QStringLiteral(":/missing.rgba"), 16).isNull());

    for (const char* name : {":/MAINICON", ":/einstellungen"}) {
        const QList<QSize> sizes = RawIcon(QString::fromLatin1(name), 32).availableSizes();
        EXPECT_TRUE(sizes.contains(QSize(32, 32))) << name;
        EXPECT_TRUE(sizes.contains(QSize(64, 64))) << name;
    }
}
