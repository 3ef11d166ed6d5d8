#include "Encoding.h"
#include "Isolated.h"

#include <QDir>
#include <QFile>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::readFile;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

TEST(Encoding, PolishLettersLandOnTheirBytesInBothSets)
{
    const QString letters = QStringLiteral("ŚŹśźĄą ĆĘŁŃÓŻćęłńóż");
    EXPECT_EQ(encodeText(letters, EncodingIso),
              bytes({0xA6, 0xAC, 0xB6, 0xBC, 0xA1, 0xB1, ' ', 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0xAF, 0xE6, 0xEA, 0xB3, 0xF1,
                     0xF3, 0xBF}));
    EXPECT_EQ(encodeText(letters, EncodingWindows),
              bytes({0x8C, 0x8F, 0x9C, 0x9F, 0xA5, 0xB9, ' ', 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0xAF, 0xE6, 0xEA, 0xB3, 0xF1,
                     0xF3, 0xBF}));
    EXPECT_EQ(encodeText(QStringLiteral("<P>abc 123</P>"), EncodingIso), QByteArray("<P>abc 123</P>"));
}

TEST(Encoding, CharactersOutsideTheSetBecomeCharacterReferences)
{
    const QString text = QStringLiteral("„cytat” – — € Ж 😀");
    EXPECT_EQ(encodeText(text, EncodingIso),
              QByteArray("&#8222;cytat&#8221; &#8211; &#8212; &#8364; &#1046; &#128512;"));
    EXPECT_EQ(encodeText(text, EncodingWindows),
              bytes({0x84}) + "cytat" + bytes({0x94, ' ', 0x96, ' ', 0x97, ' ', 0x80}) + " &#1046; &#128512;");
    QByteArray one;
    KodujZnak(U'ą', EncodingIso, one);
    KodujZnak(U'‰', EncodingIso, one);
    KodujZnak(U'‰', EncodingWindows, one);
    EXPECT_EQ(one, bytes({0xB1}) + "&#8240;" + bytes({0x89}));
}

// The old byte tables turned these into Polish letters; each keeps its own byte.
TEST(Encoding, NeighboursOfThePolishLettersKeepTheirOwnBytes)
{
    EXPECT_EQ(encodeText(QStringLiteral("ˇ¦¬±¶ľ"), EncodingWindows), bytes({0xA1, 0xA6, 0xAC, 0xB1, 0xB6, 0xBE}));
    EXPECT_EQ(encodeText(QStringLiteral("ˇĽ"), EncodingIso), bytes({0xB7, 0xA5}));
    EXPECT_EQ(encodeText(QStringLiteral("©"), EncodingIso), QByteArray("&#169;")) << "no ISO byte of the same code";
}

class SaveEncodedTest : public Isolated {
protected:
    bool save(const QStringList &lines, const QString &target, const QString &encoding)
    {
        return SaveEncoded(lines, target, encoding,
                           [this](const QString &caption, const QString &text) { messages << caption + u'|' + text; });
    }
    QStringList messages;
};

TEST(Encoding, Utf8WritesEveryCharacterAsItselfWithoutAByteOrderMark)
{
    const QString text = QStringLiteral("Zażółć € \U0001F600 \u2028 &");
    EXPECT_EQ(encodeText(text, EncodingUtf8), text.toUtf8());
    QByteArray one;
    KodujZnak(U'\U0001F600', EncodingUtf8, one);
    EXPECT_EQ(one, QByteArray("\xF0\x9F\x98\x80"));
    EXPECT_EQ(encodeLines({QStringLiteral("ą"), QStringLiteral("€")}, EncodingUtf8), QByteArray("\xC4\x85\r\n\xE2\x82\xAC\r\n"));
    const char16_t halves[] = {u'a', 0xD800, u'b', 0xDE00, 0xD83D, 0xDE00, 0xD83D, 0};
    const QString shortOne = QString::fromUtf16(halves), longOne = QStringLiteral("długi wiersz ") + shortOne + QStringLiteral(" i dalej");
    EXPECT_EQ(encodeLines({text, shortOne, longOne, text}, EncodingUtf8),
              text.toUtf8() + "\r\n" + shortOne.toUtf8() + "\r\n" + longOne.toUtf8() + "\r\n" + text.toUtf8() + "\r\n")
        << "half of a surrogate pair is written as toUtf8() writes it, beside lines without one";
    QByteArray iso;
    KodujZnak(U'\U0001F600', EncodingIso, iso);
    EXPECT_EQ(iso, QByteArray("&#128512;")) << "the 8-bit sets keep their references";
}

TEST_F(SaveEncodedTest, WritesByteExactFilesWithCrLfAfterEveryLine)
{
    const QStringList lines = {QStringLiteral("<TITLE>Zażółć gęślą jaźń</TITLE>"), QString(),
                               QStringLiteral("</P>\r\n</BODY>"), QStringLiteral("</HTML>")};
    const QString target = path(QStringLiteral("index.html"));
    ASSERT_TRUE(save(lines, target, EncodingIso));
    EXPECT_EQ(readFile(target), QByteArray("<TITLE>Za") + bytes({0xBF, 0xF3, 0xB3, 0xE6}) + " g" + bytes({0xEA, 0xB6})
                                + "l" + bytes({0xB1}) + " ja" + bytes({0xBC, 0xF1}) + "</TITLE>\r\n\r\n</P>\r\n</BODY>\r\n</HTML>\r\n");
    EXPECT_EQ(QDir(path(QString())).entryList(QDir::Files), QStringList{QStringLiteral("index.html")})
        << "no intermediate file is left beside the page";
    ASSERT_TRUE(save(lines, target, EncodingWindows));
    EXPECT_EQ(readFile(target).mid(9, 4), bytes({0xBF, 0xF3, 0xB3, 0xE6}));
    EXPECT_EQ(readFile(target).count("\r\n"), 5) << "an embedded CR LF makes two lines";
    ASSERT_TRUE(save(lines, target, EncodingUtf8));
    EXPECT_TRUE(readFile(target).startsWith("<TITLE>Za\xC5\xBC\xC3\xB3")) << "UTF-8 without a byte-order mark";
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SaveEncodedTest, ATargetWhoseFolderIsMissingFailsNamingTheFileAndTheReason)
{
    const QString target = path(QStringLiteral("nie/ma/index.html"));
    EXPECT_FALSE(save({QStringLiteral("x")}, target, EncodingIso));
    EXPECT_EQ(messages, QStringList{QStringLiteral("BŁĄD!|Błąd przy zapisie strony \"%1\": folder nie istnieje!").arg(target)});
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("nie"))));
}

TEST_F(SaveEncodedTest, PagesLargerThanOneWritePieceAreWrittenWhole)
{
    QStringList lines;
    for (int i = 0; i < 60000; ++i)
        lines << QStringLiteral("<P>Wiersz %1: zażółć gęślą jaźń</P>").arg(i);
    const QString target = path(QStringLiteral("duza.html"));
    ASSERT_TRUE(save(lines, target, EncodingIso));
    const QByteArray written = readFile(target);
    EXPECT_GT(written.size(), 2 << 20);
    EXPECT_EQ(written, encodeLines(lines, EncodingIso));
    EXPECT_TRUE(written.endsWith(QByteArray("<P>Wiersz 59999: za") + bytes({0xBF, 0xF3, 0xB3, 0xE6}) + " g"
                                 + bytes({0xEA, 0xB6}) + "l" + bytes({0xB1}) + " ja" + bytes({0xBC, 0xF1}) + "</P>\r\n"));
}

TEST_F(SaveEncodedTest, AnExistingPageIsReplacedWhole)
{
    const QString target = path(QStringLiteral("index.html"));
    writeFile(target, QByteArray(10000, 'o'));
    ASSERT_TRUE(save({QStringLiteral("nowa")}, target, EncodingWindows));
    EXPECT_EQ(readFile(target), QByteArray("nowa\r\n"));
    EXPECT_EQ(QDir(path(QString())).entryList(QDir::Files), QStringList{QStringLiteral("index.html")});
}

} // namespace
