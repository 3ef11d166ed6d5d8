#include "Assets.h"
#include "Isolated.h"
#include "PageOutput.h"

#include <QFile>

using namespace zk;
using zk::testing::Isolated;

namespace {

TEST(PublishFileList, SortedWithoutRegardToCaseFirstSpellingKept)
{
    PublishFileList list(QLocale(QLocale::Polish));
    for (const char *p : {"/b/zebra.gif", "/b/Ćma.gif", "/b/ALFA.gif", "", "/b/cma.gif", "/b/alfa.GIF", "/b/Dom.jpg"})
        list.add(QString::fromUtf8(p));
    EXPECT_EQ(list.entries(), (QStringList{QStringLiteral("/b/ALFA.gif"), QStringLiteral("/b/cma.gif"),
                                           QStringLiteral("/b/Ćma.gif"), QStringLiteral("/b/Dom.jpg"),
                                           QStringLiteral("/b/zebra.gif")}));
}

struct LineCase {
    const char *line;
    QStringList references;
};

class ReferenceScan : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReferenceScan, FindsWhatTheLineRefersTo)
{
    EXPECT_EQ(referencesInLine(QString::fromUtf8(GetParam().line)), GetParam().references) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReferenceScan,
    ::testing::Values(
        LineCase{"<IMG SRC=\"D:\\Foto\\Kot.GIF\">", {QStringLiteral("D:\\Foto\\Kot.GIF")}},
        LineCase{"<img src=\"a.gif\"><img src=\"b.gif\">", {QStringLiteral("a.gif")}},
        LineCase{"<img src=\"a.gif\"> <img src=\"b.jpg\">", {QStringLiteral("a.gif"), QStringLiteral("b.jpg")}},
        LineCase{"<img src=\"x.png\" alt=\"a.gif\">", {}},
        LineCase{"<a href=\"http://x.pl/\">x</a> <a href=\"b.htm\">b</a>", {QStringLiteral("b.htm")}},
        LineCase{"<A HREF=\"duzy.jpg\"><IMG SRC=\"maly.gif\"></A>", {QStringLiteral("maly.gif")}},
        LineCase{"<a href=\"http://www.x.pl/strona.htm\">x</a>", {}},
        LineCase{"<a href=\"historia.html\">Historia</a>", {}},
        LineCase{"<a href=\"h:\\strony\\a.htm\">a</a>", {QStringLiteral("h:\\strony\\a.htm")}},
        LineCase{"<A HREF=\"Kontakt.HTML\">k</A>", {QStringLiteral("Kontakt.HTML")}},
        LineCase{"<a href=\"o_mnie.htm\">o mnie</a>", {QStringLiteral("o_mnie.htm")}},
        LineCase{"stara.htm <a href=\"x\">", {}},
        LineCase{"<BGSOUND SRC=\"/muzyka/t\u0142o.mid\"><EMBED SRC=\"x.wav\">",
                 {QStringLiteral("/muzyka/tło.mid"), QStringLiteral("x.wav")}},
        LineCase{"plain text with no references.gif", {}}));

TEST(GenList, FormFilesFirstThenTheMainTextEachBySwitch)
{
    PageDescription d;
    d.PopUp_Atrybuty_Tlo_Kolor = true;
    d.BackgroundImagePath = QStringLiteral("/old/tlo.jpg"); // chosen earlier, kind is colour now
    d.Check_Atrybuty_Naglowki = false;
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = QStringLiteral("/Foto/Logo.GIF");
    d.Check_Play = true;
    d.Edit_Src.clear();
    d.Check_Uklad_Odnosniki_Ikona = false;
    d.Edit_Uklad_Odnosniki_Ikonka = QStringLiteral("/ikony/kropka.gif");
    d.Edytorek = {QStringLiteral("<IMG SRC=\"/foto/logo.gif\">"), QStringLiteral("<A HREF=\"http://a.pl/x.htm\">a</A>"),
                  QStringLiteral("<A HREF=\"cennik.html\">cennik</A>")};
    const QStringList files = Gen_List(d).entries();
    EXPECT_EQ(files, (QStringList{QStringLiteral("/Foto/Logo.GIF"), QStringLiteral("cennik.html")}))
        << "the logo's spelling wins; a switched-off icon and a colour background's old image are not collected";
    EXPECT_EQ(Gen_List(d).entries(), files) << "running it again gives the same list";
}

class FileCopyTest : public Isolated {};

TEST_F(FileCopyTest, CopiesNeverReplacesAndSkipsMissingSources)
{
    const QString source = path(QStringLiteral("a.gif"));
    writeFile(source, "GIF89a-new");
    FileCopy(source, path(QStringLiteral("copy.gif")));
    QFile copy(path(QStringLiteral("copy.gif")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("GIF89a-new"));
    copy.close();

    writeFile(path(QStringLiteral("kept.gif")), "old");
    FileCopy(source, path(QStringLiteral("kept.gif")));
    QFile kept(path(QStringLiteral("kept.gif")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));

    EXPECT_NO_THROW(FileCopy(path(QStringLiteral("missing.gif")), path(QStringLiteral("x.gif"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.gif"))));
}

TEST_F(FileCopyTest, ACopyThatCannotBeCreatedRaisesAnErrorNamingIt)
{
    const QString source = path(QStringLiteral("a.gif"));
    writeFile(source);
    const QString target = path(QStringLiteral("brak/a.gif"));
    try {
        FileCopy(source, target);
        FAIL() << "expected an error";
    } catch (const AppError &e) {
        EXPECT_TRUE(e.text().contains(target)) << e.text().toStdString();
    }
}

TEST(PageFileName, EndsInHtml)
{
    const std::pair<const char *, const char *> cases[] = {
        {"index.htm", "index.html"},   {"Strona", "Strona.html"},       {"STRONA.HTML", "STRONA.html"},
        {"", ".html"},                 {"index.html", "index.html"},     {"x.tar.gz", "x.tar.html"},
        {"kat.1\\strona", "kat.1\\strona.html"}, {"a.b/c", "a.b/c.html"}, {"moja strona.php", "moja strona.html"}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(normalizePageFileName(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

} // namespace
