#include "Decoders.h"
#include "Isolated.h"
#include "TestPictures.h"

using namespace zk;
using namespace zk::testing;

namespace {

using DecoderTest = Isolated;

bool near(QRgb a, QColor b, int tolerance = 12)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
           && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

TEST_F(DecoderTest, GifFirstFrameWithItsSize)
{
    const QString still = path(QStringLiteral("a.gif"));
    ASSERT_TRUE(writeGif(still, 120, 80));
    const DecodeResult r = decodeGif(still);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.image.size(), QSize(120, 80));
    EXPECT_EQ(r.image.pixel(60, 40), qRgb(255, 0, 0));

    const QString animated = path(QStringLiteral("anim.gif"));
    ASSERT_TRUE(writeGif(animated, 30, 20, 3));
    const DecodeResult a = decodeGif(animated);
    ASSERT_TRUE(a.ok()) << a.error.toStdString();
    EXPECT_EQ(a.image.pixel(5, 5), qRgb(255, 0, 0)) << "the first frame, not a later one";

    const QString interlaced = path(QStringLiteral("inter.gif"));
    ASSERT_TRUE(writeGif(interlaced, 16, 21, 1, true));
    const DecodeResult i = decodeGif(interlaced);
    ASSERT_TRUE(i.ok());
    const QRgb expected[3] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0)};
    for (int y = 0; y < 21; ++y)
        EXPECT_EQ(i.image.pixel(3, y), expected[y % 3]) << "row " << y << " in its place";
}

TEST_F(DecoderTest, JpegInColourGreyProgressiveAndCmyk)
{
    QImage colour(64, 48, QImage::Format_RGB32);
    colour.fill(QColor(200, 40, 30));
    ASSERT_TRUE(writeJpeg(path(QStringLiteral("c.jpg")), colour));
    ASSERT_TRUE(writeJpeg(path(QStringLiteral("p.jpeg")), colour, true));
    QImage grey(33, 17, QImage::Format_Grayscale8);
    grey.fill(128);
    ASSERT_TRUE(writeJpeg(path(QStringLiteral("g.jpg")), grey));
    const unsigned char cmyk[4] = {255, 0, 255, 255}; // inverted: no cyan, full magenta... green after inversion
    ASSERT_TRUE(writeCmykJpeg(path(QStringLiteral("k.jpg")), 40, 30, cmyk));

    for (const char *name : {"c.jpg", "p.jpeg"}) {
        const DecodeResult r = decodeJpeg(path(QString::fromLatin1(name)));
        ASSERT_TRUE(r.ok()) << name << r.error.toStdString();
        EXPECT_EQ(r.image.size(), QSize(64, 48));
        EXPECT_TRUE(near(r.image.pixel(30, 20), QColor(200, 40, 30))) << name;
    }
    const DecodeResult g = decodeJpeg(path(QStringLiteral("g.jpg")));
    ASSERT_TRUE(g.ok());
    EXPECT_EQ(g.image.size(), QSize(33, 17));
    EXPECT_TRUE(near(g.image.pixel(10, 10), QColor(128, 128, 128)));
    const DecodeResult k = decodeJpeg(path(QStringLiteral("k.jpg")));
    ASSERT_TRUE(k.ok()) << k.error.toStdString();
    EXPECT_EQ(k.image.size(), QSize(40, 30));
    EXPECT_TRUE(near(k.image.pixel(20, 15), QColor(255, 0, 255), 20)) << QColor(k.image.pixel(20, 15)).name().toStdString();
}

TEST_F(DecoderTest, JunkBytesBeforeAMarkerDoNotHideAWholePicture)
{
    QImage colour(64, 48, QImage::Format_RGB32);
    colour.fill(Qt::darkGreen);
    ASSERT_TRUE(writeJpeg(path(QStringLiteral("a.jpg")), colour));
    QByteArray jpg = readAll(path(QStringLiteral("a.jpg")));
    const qsizetype end = jpg.lastIndexOf("\xFF\xD9");
    ASSERT_GT(end, 0);
    jpg.insert(end, QByteArray("\x00\x13\x37", 3)); // as some cameras write before the end marker
    writeBytes(path(QStringLiteral("junk.jpg")), jpg);
    const DecodeResult r = decodeJpeg(path(QStringLiteral("junk.jpg")));
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.image.size(), QSize(64, 48));
    EXPECT_EQ(QColor(r.image.pixel(10, 10)).green(), QColor(Qt::darkGreen).green());
}

TEST_F(DecoderTest, DamagedFilesFailAndNeverCrash)
{
    ASSERT_TRUE(writeGif(path(QStringLiteral("a.gif")), 50, 40));
    QImage colour(64, 48, QImage::Format_RGB32);
    colour.fill(Qt::darkGreen);
    ASSERT_TRUE(writeJpeg(path(QStringLiteral("a.jpg")), colour));
    const QByteArray gif = readAll(path(QStringLiteral("a.gif")));
    const QByteArray jpg = readAll(path(QStringLiteral("a.jpg")));
    for (double cut : {0.0, 0.02, 0.3, 0.6, 0.95}) {
        writeBytes(path(QStringLiteral("cut.gif")), gif.left(qsizetype(gif.size() * cut)));
        EXPECT_FALSE(decodeGif(path(QStringLiteral("cut.gif"))).ok()) << "GIF cut at " << cut;
        writeBytes(path(QStringLiteral("cut.jpg")), jpg.left(qsizetype(jpg.size() * cut)));
        EXPECT_FALSE(decodeJpeg(path(QStringLiteral("cut.jpg"))).ok()) << "JPEG cut at " << cut;
    }
    writeBytes(path(QStringLiteral("wrong.gif")), QByteArray("PNG and nothing else, really"));
    EXPECT_FALSE(decodeGif(path(QStringLiteral("wrong.gif"))).ok());
    EXPECT_FALSE(decodeJpeg(path(QStringLiteral("wrong.gif"))).ok());
    EXPECT_FALSE(decodeGif(path(QStringLiteral("missing.gif"))).ok());
    EXPECT_FALSE(decodeJpeg(path(QStringLiteral("missing.jpg"))).ok());

    QByteArray huge = gif; // logical screen 65535 x 65535: refused before anything is allocated
    huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);
    writeBytes(path(QStringLiteral("huge.gif")), huge);
    const DecodeResult h = decodeGif(path(QStringLiteral("huge.gif")));
    EXPECT_FALSE(h.ok());
    EXPECT_TRUE(h.error.contains(QStringLiteral("too large"))) << h.error.toStdString();
    QByteArray zero = gif;
    zero[6] = zero[7] = 0;
    writeBytes(path(QStringLiteral("zero.gif")), zero);
    EXPECT_FALSE(decodeGif(path(QStringLiteral("zero.gif"))).ok());

    QByteArray bigJpeg = jpg; // frame header (SOF0/SOF2) claiming 60000 x 60000
    const qsizetype sof = std::max(bigJpeg.indexOf("\xFF\xC0"), bigJpeg.indexOf("\xFF\xC2"));
    ASSERT_GT(sof, 0);
    bigJpeg[sof + 5] = char(0xEA), bigJpeg[sof + 6] = char(0x60), bigJpeg[sof + 7] = char(0xEA), bigJpeg[sof + 8] = char(0x60);
    writeBytes(path(QStringLiteral("big.jpg")), bigJpeg);
    const DecodeResult b = decodeJpeg(path(QStringLiteral("big.jpg")));
    EXPECT_FALSE(b.ok());
    EXPECT_TRUE(b.error.contains(QStringLiteral("too large"))) << b.error.toStdString();
}

} // namespace
