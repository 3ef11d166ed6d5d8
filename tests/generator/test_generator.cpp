#include "PageGenerator.h"
#include "Pages.h"
#include "QtPrinters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace zk;
using namespace zk::testing;

namespace {

void expectSameLines(const QStringList &actual, const QStringList &expected)
{
    for (qsizetype i = 0; i < std::max(actual.size(), expected.size()); ++i)
        EXPECT_EQ(actual.value(i, QStringLiteral("<no line>")), expected.value(i, QStringLiteral("<no line>")))
            << "line " << i;
}

TEST(Generator, FreshStartGivesTheDefaultDocument)
{
    const GeneratedPage page = Generuj_Strone(freshDescription(QStringLiteral("Jan Kowalski")), fixedContext());
    expectSameLines(page.pageLines,
                    defaultDocument(QStringLiteral("<META HTTP-EQUIV=\"Creation-date\" CONTENT=\"Tue, 08 Dec 2026 13:05:09 GMT\">"),
                                    QStringLiteral("08/12/2026")));
}

// UTF-8 changes only the charset's name on a 1998 page.
TEST(Generator, Utf8ChangesOnlyTheCharsetOfA1998Page)
{
    const QStringList classic = Generuj_Strone(freshDescription(QStringLiteral("Jan Kowalski")), fixedContext()).pageLines;
    const qsizetype typeLine = classic.indexOf(QStringLiteral("<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=iso-8859-2\">"));
    ASSERT_GE(typeLine, 0);
    PageDescription d = freshDescription(QStringLiteral("Jan Kowalski"));
    d.PageEncoding = QStringLiteral("UTF-8");
    QStringList expected = classic;
    expected[typeLine] = QStringLiteral("<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=utf-8\">");
    expectSameLines(Generuj_Strone(d, fixedContext()).pageLines, expected);
}

// The HTML5 page names its charset first in the head, by the encoding chosen,
// whatever the letter case of the document type.
TEST(Generator, Html5PagesNameTheirCharsetFirst)
{
    const struct {
        const char *docType;
        const char *encoding;
        const char *charset;
    } cases[] = {{"<!DOCTYPE html>", "ISO-8859-2", "iso-8859-2"},
                 {"<!doctype HTML>", "CP-1250", "windows-1250"},
                 {"<!DOCTYPE html>", "UTF-8", "utf-8"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.docType);
        PageDescription d = freshDescription(QStringLiteral("Jan Kowalski"));
        d.Lista_Atrybuty_DocType = QString::fromLatin1(c.docType);
        d.PageEncoding = QString::fromLatin1(c.encoding);
        const QStringList lines = Generuj_Strone(d, fixedContext()).pageLines;
        ASSERT_GE(lines.size(), 5);
        EXPECT_EQ(lines[0], QStringLiteral("<!DOCTYPE html>"));
        EXPECT_EQ(lines[2], QStringLiteral("<head>"));
        EXPECT_EQ(lines[3], QStringLiteral("<meta charset=\"%1\">").arg(QLatin1String(c.charset)));
        EXPECT_EQ(lines[4], QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"));
    }
}

// Today's browsers ignore BGSOUND and start no sound on their own: an HTML5
// page gets a labelled player with controls, under the header, that repeats
// as the form says.
TEST(Generator, TheSoundOfAnHtml5PageIsAnAudioPlayerThatRepeatsAsChosen)
{
    PageDescription d = freshDescription(QStringLiteral("Jan Kowalski"));
    d.Check_Play = true;
    d.Edit_Src = QStringLiteral("/home/jan/Muzyka/Melodia & Co.mid");
    d.Edit_Uklad_Glowny_Naglowek = QStringLiteral("Witaj");
    GeneratorContext c = fixedContext();
    c.pageNames.insert(d.Edit_Src, QStringLiteral("Melodia & Co.opus"));
    d.Check_Infinite = true;
    {
        const QStringList lines = Generuj_Strone(d, c).pageLines;
        const qsizetype body = lines.indexOf(QRegularExpression(QStringLiteral("^<BODY.*")));
        ASSERT_GE(body, 0);
        EXPECT_EQ(lines[body + 1], QStringLiteral("<BGSOUND SRC=\"Melodia & Co.opus\" LOOP=\"INFINITE\">")) << "as before";
    }
    d.Lista_Atrybuty_DocType = Html5DocType;
    const auto soundLineOf = [&](const PageDescription &page) {
        const QStringList lines = Generuj_Strone(page, c).pageLines;
        const qsizetype heading = lines.indexOf(QStringLiteral("<h1>Witaj</h1>"));
        const qsizetype sound = lines.indexOf(QRegularExpression(QStringLiteral("^<p class=\"dzwiek\">.*")));
        const qsizetype end = lines.indexOf(QStringLiteral("</header>"));
        EXPECT_TRUE(heading >= 0 && heading < sound && sound < end) << "under the title, inside the header";
        return sound >= 0 ? lines[sound] : QString();
    };
    const QString start = QStringLiteral("<p class=\"dzwiek\"><span id=\"dzwiek-opis\">Podkład dźwiękowy strony</span>"
                                         "<audio src=\"Melodia &amp; Co.opus\" controls preload=\"metadata\" "
                                         "aria-labelledby=\"dzwiek-opis\"");
    EXPECT_EQ(soundLineOf(d), start + QStringLiteral(" loop></audio></p>"));
    d.Check_Infinite = false;
    d.Spin_Powtorz = 3;
    EXPECT_EQ(soundLineOf(d), start + QStringLiteral(" data-razy=\"3\" onended=\"if (--this.dataset.razy > 0) this.play()\">"
                                                     "</audio></p>"));
    for (int once : {0, 1}) {
        d.Spin_Powtorz = once;
        EXPECT_EQ(soundLineOf(d), start + QStringLiteral("></audio></p>")) << once;
    }
}

TEST(Generator, FullyLoadedDescription)
{
    PageDescription d = freshDescription(QStringLiteral("Jan Kowalski"));
    d.PopUp_Atrybuty_Tlo_Kolor = false;
    d.BackgroundImagePath = QStringLiteral("/home/jan/Obrazki/tlo.jpg");
    d.PageEncoding = QStringLiteral("CP-1250");
    d.Przycisk_Atrybuty_Kolor_Tekst = QColor(0x12, 0x34, 0x56);
    d.Check_Play = true;
    d.Edit_Src = QStringLiteral("D:\\Muzyka\\Melodia.MID");
    d.Check_Infinite = false;
    d.Spin_Powtorz = 3;
    d.Lista_Atrybuty_Slowa_Kluczowe = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    d.Edit_Atrybuty_Dokument_Bazowy = QStringLiteral("http://www.example.pl/");
    d.headerAlignment = Alignment::Center;
    d.Przycisk_Uklad_Naglowek_Kolor = QColor(255, 0, 0);
    d.subtitleAlignment = Alignment::Right;
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = QStringLiteral("/home/jan/logo.gif");
    d.Check_Uklad_Naglowek_Kreska = false;
    d.Grid_Uklad_Odnosniki = {{QStringLiteral("Onet"), QStringLiteral("http://www.onet.pl")}, {}};
    d.linksHeadingAlignment = Alignment::Right;
    d.Check_Uklad_Odnosniki_Ikona = true;
    d.Edit_Uklad_Odnosniki_Ikonka = QStringLiteral("C:\\ikony\\kropka.gif");
    d.Lista_Uklad_Adresy = {QStringLiteral("jan@x.pl"), QStringLiteral("biuro@x.pl")};
    d.Check_Uklad_Adresy_Ikona = true;
    d.Edit_Uklad_Adresy_Ikona = QStringLiteral("koperta.gif");
    d.Edytorek = {QStringLiteral("<P>Witaj <IMG SRC=\"/home/jan/img/a.gif\"> i <IMG SRC=\"/home/jan/img/a.gif\"></P>"),
                  QStringLiteral("<IMG SRC=\"img/b.gif\">")};
    GeneratorContext c = fixedContext();
    c.badgeExists = false;
    c.pageNames = {{QStringLiteral("/home/jan/img/a.gif"), QStringLiteral("a-2.gif")}};
    const GeneratedPage page = Generuj_Strone(d, c);
    const QStringList expected = {
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">"),
        QStringLiteral("<HTML>"),
        QStringLiteral("<HEAD>"),
        QStringLiteral("<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=windows-1250\">"),
        QStringLiteral("<META HTTP-EQUIV=\"Creation-date\" CONTENT=\"Tue, 08 Dec 2026 13:05:09 GMT\">"),
        QStringLiteral("<META HTTP-EQUIV=\"Reply-to\" CONTENT=\"jan@x.pl (Jan Kowalski)\">"),
        QStringLiteral("<META NAME=\"Keywords\" CONTENT=\"a, b, c\">"),
        QStringLiteral("<META NAME=\"Description\" CONTENT=\"Jan Kowalski - Strona Domowa - Firmowa\">"),
        QStringLiteral("<META NAME=\"Author\" CONTENT=\"Jan Kowalski\">"),
        QStringLiteral("<META NAME=\"Generator\" CONTENT=\"Zentarek Light\">"),
        QStringLiteral("<BASE HREF=\"http://www.example.pl/\">"),
        QStringLiteral("<LINK REV=\"made\" HREF=\"mailto:jan@x.pl\">"),
        QStringLiteral("<TITLE>Jan Kowalski - Strona Domowa - Firmowa</TITLE>"),
        QStringLiteral("</HEAD>"),
        QStringLiteral("<BODY BACKGROUND=\"tlo.jpg\" TEXT=\"#123456\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#000080\">"),
        QStringLiteral("<BGSOUND SRC=\"Melodia.MID\" LOOP=\"3\">"),
        QString(),
        QStringLiteral("<!-- Sekcja nagłówków i obrazka tytułowego -->"),
        QStringLiteral("<H1 ALIGN=CENTER><FONT COLOR=\"#FF0000\">Jan Kowalski</FONT></H1>"),
        QStringLiteral("<CENTER><IMG SRC=\"logo.gif\" ALT=\"Obrazek tytułowy\"></CENTER>"),
        QStringLiteral("<H2 ALIGN=RIGHT><FONT COLOR=\"#000000\">Strona Domowa - Firmowa</FONT></H2>"),
        QString(),
        QStringLiteral("<!-- Główna sekcja strony -->"),
        QStringLiteral("<P>Witaj <IMG SRC=\"a-2.gif\"> i <IMG SRC=\"a-2.gif\"></P>"),
        QStringLiteral("<IMG SRC=\"img/b.gif\">"),
        QString(),
        QStringLiteral("<!-- Sekcja ulubionych odnośników -->"),
        QStringLiteral("<H3 ALIGN=RIGHT><FONT COLOR=\"#000000\">Moje ulubione odnośniki</FONT></H3>"),
        QStringLiteral("<A HREF=\"http://www.onet.pl\"><IMG SRC=\"kropka.gif\" BORDER=0 ALT=\"* \">Onet</A><BR>"),
        QStringLiteral("<A HREF=\"\"><IMG SRC=\"kropka.gif\" BORDER=0 ALT=\"* \"></A><BR>"),
        QString(),
        QStringLiteral("<!-- Sekcja adresów kontaktowych -->"),
        QStringLiteral("<HR>"),
        QStringLiteral("<ADDRESS><IMG SRC=\"koperta.gif\" ALT=\"Napisz do mnie\"><BR>"),
        QStringLiteral("<A HREF=\"mailto:jan@x.pl\">jan@x.pl</A><BR>"),
        QStringLiteral("<A HREF=\"mailto:biuro@x.pl\">biuro@x.pl</A><BR>"),
        QStringLiteral("</ADDRESS>"),
        QString(),
        QStringLiteral("<!-- Koniec strony -->"),
        QStringLiteral("<BR><BR>"),
        QStringLiteral("<P ALIGN=RIGHT><FONT SIZE=\"-2\">Strona utworzona dnia 08/12/2026<BR>przy pomocy programu "
                       "<STRONG><A HREF=\"http://zentarek.quorvel.pl/\" TARGET=\"_top\">Zentarek Light</A></STRONG></FONT><BR>"),
        QStringLiteral("</P>\r\n</BODY>"),
        QStringLiteral("</HTML>"),
    };
    expectSameLines(page.pageLines, expected);
    EXPECT_EQ(page.mainSectionLines.size(), 2);
    EXPECT_EQ(d.Edytorek[0].count(QStringLiteral("/home/jan/img/a.gif")), 2) << "the editor's own text is untouched";
}

TEST(Generator, SectionsAppearOnlyWhenTheirConditionsHold)
{
    PageDescription d = freshDescription(QStringLiteral("Jan"));
    d.Edit_Uklad_Glowny_Naglowek.clear();
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = QStringLiteral("/x/logo.png");
    d.Lista_Uklad_Adresy.clear();
    QStringList lines = Generuj_Strone(d, fixedContext()).pageLines;
    qsizetype body = lines.indexOf(QRegularExpression(QStringLiteral("^<BODY.*")));
    EXPECT_EQ(lines.value(body + 1), QStringLiteral("<CENTER><IMG SRC=\"logo.png\" ALT=\"Obrazek tytułowy\"></CENTER>"))
        << "no empty line or comment without a heading";
    EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("Reply-to"))) << "contact on, no addresses";
    EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("ADDRESS")));

    d.Check_Atrybuty_Naglowki = false;
    lines = Generuj_Strone(d, fixedContext()).pageLines;
    for (const char *absent : {"<H1", "<H2", "logo.png", "<HR>"})
        EXPECT_FALSE(lines.join(u'\n').contains(QString::fromLatin1(absent))) << absent;

    d.Grid_Uklad_Odnosniki = {{QString(), QStringLiteral("http://a")}, {QStringLiteral("B"), QStringLiteral("http://b")}};
    EXPECT_FALSE(Generuj_Strone(d, fixedContext()).pageLines.join(u'\n').contains(QStringLiteral("odnośników -->")))
        << "row 1 without a name: no links block at all";

    d.Lista_Atrybuty_Slowa_Kluczowe = {QStringLiteral("jedno")};
    EXPECT_TRUE(Generuj_Strone(d, fixedContext()).pageLines.contains(QStringLiteral("<META NAME=\"Keywords\" CONTENT=\"jedno\">")));
}

TEST(Generator, BackgroundSoundAndColours)
{
    PageDescription d = freshDescription(QStringLiteral("Jan"));
    auto body = [&] {
        const QStringList lines = Generuj_Strone(d, fixedContext()).pageLines;
        return lines.filter(QRegularExpression(QStringLiteral("^<BODY"))).value(0);
    };
    EXPECT_FALSE(body().contains(QStringLiteral("BGCOLOR")));
    d.Panel_Podglad_Naglowki = QColor(0xC0, 0xC0, 0xC1);
    EXPECT_TRUE(body().startsWith(QStringLiteral("<BODY BGCOLOR=\"#C0C0C1\" TEXT=")));
    d.PopUp_Atrybuty_Tlo_Kolor = false;
    d.BackgroundImagePath = QStringLiteral("D:\\Obrazki\\tlo.jpg");
    EXPECT_TRUE(body().startsWith(QStringLiteral("<BODY BACKGROUND=\"tlo.jpg\" TEXT=")));
    EXPECT_FALSE(body().contains(QStringLiteral("BGCOLOR")));
    d.BackgroundImagePath.clear();
    EXPECT_TRUE(body().startsWith(QStringLiteral("<BODY BACKGROUND=\"\" TEXT=")));

    d.Check_Play = true;
    d.Check_Infinite = false;
    EXPECT_TRUE(Generuj_Strone(d, fixedContext()).pageLines.contains(QStringLiteral("<BGSOUND SRC=\"\" LOOP=\"0\">")));
    d.Check_Infinite = true;
    d.Edit_Src = QStringLiteral("/snd/a.wav");
    EXPECT_TRUE(Generuj_Strone(d, fixedContext()).pageLines.contains(QStringLiteral("<BGSOUND SRC=\"a.wav\" LOOP=\"INFINITE\">")));
    EXPECT_EQ(KolorNaHex(QColor(255, 0, 0)), QStringLiteral("\"#FF0000\""));
    EXPECT_EQ(KolorNaHex(QColor(0x0a, 0xbc, 0x0d)), QStringLiteral("\"#0ABC0D\""));
}

TEST(Generator, OnlyLocalPathsInReferenceAttributesAreRewritten)
{
    const QHash<QString, QString> names = {{QStringLiteral("D:\\Strony\\img\\a.gif"), QStringLiteral("a.gif")},
                                           {QStringLiteral("/home/jan/cv.pdf"), QStringLiteral("cv-2.pdf#praca")}};
    const std::pair<const char *, const char *> cases[] = {
        {"<IMG SRC=\"D:\\Strony\\img\\a.gif\"><img src='D:\\Strony\\img\\a.gif'>", "<IMG SRC=\"a.gif\"><img src='a.gif'>"},
        {"Plik D:\\Strony\\img\\a.gif w tekście", "Plik D:\\Strony\\img\\a.gif w tekście"},
        {"<a href=\"/home/jan/cv.pdf\">CV</a>", "<a href=\"cv-2.pdf#praca\">CV</a>"},
        {"<IMG SRC=\"http://www.example.com/img/baner.gif\">", "<IMG SRC=\"http://www.example.com/img/baner.gif\">"},
        {"<A HREF=\"www.onet.pl/index.html\">", "<A HREF=\"www.onet.pl/index.html\">"},
        {"<IMG SRC=img/a.gif ALT=x>", "<IMG SRC=img/a.gif ALT=x>"},
        {"<IMG SRC=/x/Foto.PNG>", "<IMG SRC=Foto.PNG>"},
        {"<IMG DATA-SRC=\"/x/y.gif\" ALT=\"/x/y.gif\">", "<IMG DATA-SRC=\"/x/y.gif\" ALT=\"/x/y.gif\">"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(shortenAssetPaths(QString::fromUtf8(in), names), QString::fromUtf8(out)) << in;
    const QString longLine = QStringLiteral("<P>") + QString(5000, u'x') + QStringLiteral("</P>");
    PageDescription d = freshDescription(QStringLiteral("Jan"));
    d.Edytorek = {longLine};
    EXPECT_TRUE(Generuj_Strone(d, fixedContext()).pageLines.contains(longLine)) << "long lines are copied whole";
}

TEST(Generator, HeadAttributeValuesAreEscapedTheTitleElementIsNot)
{
    PageDescription d = freshDescription(QStringLiteral("Jan"));
    d.Edit_Atrybuty_Tytul = QStringLiteral("Firma \"Kowalski & Syn\" <b>");
    d.Lista_Atrybuty_Slowa_Kluczowe = {QStringLiteral("a\"b"), QStringLiteral("c>d")};
    GeneratorContext c = fixedContext();
    c.ownerName = QStringLiteral("Jan \"Janek\"");
    const QStringList lines = Generuj_Strone(d, c).pageLines;
    EXPECT_TRUE(lines.contains(QStringLiteral("<META NAME=\"Description\" CONTENT=\"Firma &quot;Kowalski &amp; Syn&quot; &lt;b&gt;\">")));
    EXPECT_TRUE(lines.contains(QStringLiteral("<META NAME=\"Keywords\" CONTENT=\"a&quot;b, c&gt;d\">")));
    EXPECT_TRUE(lines.contains(QStringLiteral("<META NAME=\"Author\" CONTENT=\"Jan &quot;Janek&quot;\">")));
    EXPECT_TRUE(lines.contains(QStringLiteral("<TITLE>Firma \"Kowalski & Syn\" <b></TITLE>")));
}

TEST(Generator, StampAndFooterFollowTheRegionalSettings)
{
    const QDateTime t(QDate(2026, 3, 1), QTime(23, 59, 58), QTimeZone::utc());
    const QLocale pl(QLocale::Polish);
    const QString stamp = creationStamp(t, pl);
    EXPECT_EQ(stamp, pl.dayName(7, QLocale::ShortFormat) + QStringLiteral(", 01 ") + pl.monthName(3, QLocale::ShortFormat)
                         + QStringLiteral(" 2026 23:59:58"));
    EXPECT_NE(pl.monthName(3, QLocale::ShortFormat), QStringLiteral("Mar")) << "Polish names, not English";
    EXPECT_EQ(creationStamp(t.toTimeZone(QTimeZone(3600 * 5)), QLocale::c()), QStringLiteral("Sun, 01 Mar 2026 23:59:58"))
        << "the stamp is in GMT whatever zone the time comes in";
    EXPECT_EQ(footerDate(QDate(2026, 3, 1), pl), QStringLiteral("01.03.2026"));
    EXPECT_EQ(footerDate(QDate(2026, 3, 1), QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("01/03/2026"));
    EXPECT_EQ(footerDate(QDate(999, 3, 1), QLocale(QLocale::German)), QStringLiteral("01.03.0999"));
}

} // namespace
