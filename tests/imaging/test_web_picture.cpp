#include "WebPicture.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

using namespace zk;
using namespace zk::testing;

namespace {

// A phone photo's likeness: smooth light and shade with some fine detail,
// wider than high, its top left corner marked red.
QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int detail = int(12 * std::sin(x * 0.05) * std::cos(y * 0.07));
            row[x] = qRgb(std::clamp(90 + x * 120 / width + detail, 0, 255), std::clamp(120 + y * 80 / height + detail, 0, 255),
                          160);
        }
    }
    QPainter(&image).fillRect(0, 0, width / 10, height / 10, Qt::red);
    return image;
}

QByteArray littleEndian16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray littleEndian32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray entry(quint16 tag, quint16 type, quint32 count, QByteArray value)
{
    return littleEndian16(tag) + littleEndian16(type) + littleEndian32(count) + value.leftJustified(4, '\0');
}

// An EXIF segment that says "turn right to view" (orientation 6), names the
// camera's serial number and gives a GPS position.
QByteArray exifSegment()
{
    QByteArray tiff = "II" + littleEndian16(42) + littleEndian32(8);
    const quint32 gpsOffset = 8 + 2 + 3 * 12 + 4;
    tiff += littleEndian16(3);
    tiff += entry(0x0112, 3, 1, littleEndian16(6));              // orientation: rotate 90 clockwise
    tiff += entry(0xA431, 2, 4, QByteArray("S1N", 4));           // body serial number
    tiff += entry(0x8825, 4, 1, littleEndian32(gpsOffset));      // the GPS directory
    tiff += littleEndian32(0);
    tiff += littleEndian16(1);
    tiff += entry(0x0001, 2, 2, QByteArray("N", 2));             // GPSLatitudeRef
    tiff += littleEndian32(0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1");
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    return segment + payload;
}

QByteArray jpegWithExif(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    EXPECT_TRUE(writer.write(image));
    return bytes.left(2) + exifSegment() + bytes.mid(2);
}

class WebPictureTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString at(const QString &name) const { return root.filePath(name); }
};

TEST_F(WebPictureTest, APhonePhotoTravelsSmallTurnedAndWithoutItsPosition)
{
    const QByteArray original = jpegWithExif(photo(4000, 3000));
    ASSERT_TRUE(jpegHasMetadata(original));
    const QString source = at(QStringLiteral("IMG_2041.jpg"));
    writeBytes(source, original);
    const QString cache = at(QStringLiteral("cache"));

    const WebPicture web = webPicture(source, 1472, cache);
    EXPECT_TRUE(web.error.isEmpty()) << web.error.toStdString();
    ASSERT_NE(web.path, source);
    EXPECT_TRUE(web.path.startsWith(cache));
    const QByteArray copy = readAll(web.path);
    EXPECT_LT(copy.size(), 500 * 1024) << "from " << original.size() << " bytes";
    EXPECT_TRUE(copy.startsWith("\xFF\xD8\xFF")) << "a JPEG stays a JPEG";
    EXPECT_FALSE(jpegHasMetadata(copy)) << "no EXIF: no position, no serial number";
    EXPECT_FALSE(copy.contains("S1N"));
    EXPECT_EQ(web.size, QSize(1472, 1963)) << "turned upright, then scaled to the width";
    QImageReader reader(web.path);
    reader.setAutoTransform(false);
    const QImage shown = reader.read();
    EXPECT_EQ(shown.size(), web.size) << "the pixels are upright, with nothing left to turn";
    const QColor corner = shown.pixelColor(shown.width() - 20, 20);
    EXPECT_GT(corner.red(), 200) << "the red corner went from top left to top right, as a right turn puts it";
    EXPECT_LT(corner.green(), 80);
    EXPECT_EQ(readAll(source), original) << "the user's file is never touched";

    const QDateTime made = QFileInfo(web.path).lastModified();
    const WebPicture again = webPicture(source, 1472, cache);
    EXPECT_EQ(again.path, web.path);
    EXPECT_EQ(again.size, web.size);
    EXPECT_EQ(QFileInfo(web.path).lastModified(), made) << "made once, then taken from the cache";
}

TEST_F(WebPictureTest, WhereQtWritesWebpTheSmallerWebpIsOfferedToo)
{
    if (!QImageWriter::supportedImageFormats().contains("webp"))
        GTEST_SKIP() << "Qt's image formats plugins (qt6-image-formats-plugins) are not installed";
    const QString source = at(QStringLiteral("zdjecie.jpg"));
    writeBytes(source, jpegWithExif(photo(2000, 1500)));
    const WebPicture web = webPicture(source, 1472, at(QStringLiteral("cache")), true);
    ASSERT_FALSE(web.webp.isEmpty());
    const QByteArray webp = readAll(web.webp);
    EXPECT_TRUE(webp.startsWith("RIFF") && webp.mid(8, 4) == "WEBP");
    EXPECT_LT(webp.size(), QFileInfo(web.path).size()) << "offered only when smaller";
    EXPECT_FALSE(webp.contains("Exif")) << "no metadata in the WebP either";
    EXPECT_EQ(QImage::fromData(webp).size(), web.size) << "the same picture, turned and scaled alike";

    const QString drawing = at(QStringLiteral("rysunek.png"));
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::blue);
    ASSERT_TRUE(flat.save(drawing));
    const WebPicture png = webPicture(drawing, 1472, at(QStringLiteral("cache")), true);
    EXPECT_EQ(png.path, drawing) << "a small PNG needs no copy";
    if (!png.webp.isEmpty()) {
        EXPECT_LT(QFileInfo(png.webp).size(), QFileInfo(drawing).size());
    }
    EXPECT_TRUE(webPicture(source, 1472, at(QStringLiteral("cache2"))).webp.isEmpty()) << "not asked, not made";
}

TEST_F(WebPictureTest, OnlyWhatNeedsItIsCopied)
{
    const QString small = at(QStringLiteral("maly.jpg"));
    ASSERT_TRUE(writeJpeg(small, photo(600, 400)));
    const WebPicture asIs = webPicture(small, 1472, at(QStringLiteral("cache")));
    EXPECT_EQ(asIs.path, small) << "small enough and no metadata: it travels as it is";
    EXPECT_EQ(asIs.size, QSize(600, 400));

    const QString wide = at(QStringLiteral("szeroki.png"));
    ASSERT_TRUE(photo(3000, 1000).save(wide, "PNG"));
    const WebPicture png = webPicture(wide, 1000, at(QStringLiteral("cache")));
    EXPECT_NE(png.path, wide);
    EXPECT_TRUE(png.path.endsWith(QStringLiteral(".png")));
    EXPECT_TRUE(readAll(png.path).startsWith("\x89PNG")) << "a PNG stays a PNG";
    EXPECT_EQ(png.size, QSize(1000, 333));

    const QString gif = at(QStringLiteral("ruchomy.gif"));
    ASSERT_TRUE(writeGif(gif, 3000, 100, 3));
    const WebPicture moving = webPicture(gif, 100, at(QStringLiteral("cache")));
    EXPECT_EQ(moving.path, gif) << "a GIF may move: never redrawn";
    EXPECT_EQ(moving.size, QSize(3000, 100));

    const QString text = at(QStringLiteral("udaje.jpg"));
    writeBytes(text, "to nie jest obrazek");
    EXPECT_EQ(webPicture(text, 100, at(QStringLiteral("cache"))).path, text);
}

TEST_F(WebPictureTest, IconsAreSquareAndTheAverageIsTheMeanColour)
{
    const QString logo = at(QStringLiteral("logo.png"));
    QImage wide(400, 200, QImage::Format_RGB32);
    wide.fill(QColor(200, 100, 50));
    ASSERT_TRUE(wide.save(logo));
    const QImage icon = QImage::fromData(squareIcon(logo, 180), "PNG");
    EXPECT_EQ(icon.size(), QSize(180, 180));
    EXPECT_EQ(icon.pixelColor(90, 90), QColor(200, 100, 50));
    EXPECT_EQ(icon.pixelColor(90, 5).alpha(), 0) << "a wide logo keeps its shape, on a clear ground";

    QImage halves(100, 100, QImage::Format_RGB32);
    halves.fill(Qt::black);
    QPainter(&halves).fillRect(0, 0, 50, 100, Qt::white);
    ASSERT_TRUE(halves.save(at(QStringLiteral("pol.png"))));
    const QColor average = averageColour(at(QStringLiteral("pol.png")));
    EXPECT_NEAR(average.red(), 128, 2);
    EXPECT_FALSE(averageColour(at(QStringLiteral("nie-ma.png"))).isValid());
}

} // namespace
