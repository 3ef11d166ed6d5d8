#include "Encoding.h"
#include "Html5Page.h"
#include "MarkupCheck.h"
#include "Pages.h"
#include "QtPrinters.h"
#include "Themes.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace zk;
using namespace zk::testing;

namespace {

PageDescription bakery()
{
    PageDescription d = freshDescription(QStringLiteral("Jan Kowalski"));
    d.Lista_Atrybuty_DocType = Html5DocType;
    d.PageEncoding = EncodingUtf8;
    d.Edit_Atrybuty_Tytul = QStringLiteral("Piekarnia \"Kłos\"");
    d.Edit_Uklad_Glowny_Naglowek = QStringLiteral("Piekarnia Kłos");
    d.headerAlignment = Alignment::Center;
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = QStringLiteral("/home/jan/logo.png");
    d.Grid_Uklad_Odnosniki = {{QStringLiteral("Młyn"), QStringLiteral("https://mlyn.example.pl/?a=1&b=2")}};
    d.Check_Uklad_Odnosniki_Ikona = true;
    d.Edit_Uklad_Odnosniki_Ikonka = QStringLiteral("/home/jan/ikona.png");
    d.Lista_Uklad_Adresy = {QStringLiteral("sklep@klos.example.pl")};
    d.PopUp_Atrybuty_Tlo_Kolor = false;
    d.BackgroundImagePath = QStringLiteral("/home/jan/tło.png");
    d.Edytorek = {QStringLiteral("<p>Chleb</p>")};
    return d;
}

GeneratorContext bakeryContext()
{
    GeneratorContext c = fixedContext();
    c.pageNames = {{QStringLiteral("/home/jan/logo.png"), QStringLiteral("logo.png")},
                   {QStringLiteral("/home/jan/ikona.png"), QStringLiteral("ikona.png")},
                   {QStringLiteral("/home/jan/tło.png"), QStringLiteral("tło.png")}};
    c.pictureSizes = {{QStringLiteral("logo.png"), QSize(480, 240)}, {QStringLiteral("ikona.png"), QSize(48, 48)}};
    c.badgeSize = QSize(88, 31);
    c.pageIcons = true;
    return c;
}

qsizetype lineOf(const QStringList &lines, const QString &pattern)
{
    return lines.indexOf(QRegularExpression(pattern));
}

// Sections are landmarks in the order they show; looks, colours and
// alignments are CSS; nothing of ours is presentational markup.
TEST(Html5Page, SectionsAreLandmarksAndTheLookIsCss)
{
    const QStringList lines = Generuj_Strone(bakery(), bakeryContext()).pageLines;
    EXPECT_EQ(lines.value(1), QStringLiteral("<html lang=\"pl\">")) << "the user kept the look's colours";
    const qsizetype header = lineOf(lines, QStringLiteral("^<header class=\"kreska\">$"));
    const qsizetype main = lineOf(lines, QStringLiteral("^<main id=\"tresc-strony\">$"));
    const qsizetype nav = lineOf(lines, QStringLiteral("^<nav aria-labelledby=\"odnosniki-tytul\">$"));
    const qsizetype aside = lineOf(lines, QStringLiteral("^<aside aria-label=\"Kontakt\">$"));
    const qsizetype footer = lineOf(lines, QStringLiteral("^<footer>$"));
    EXPECT_TRUE(header > 0 && header < main && main < nav && nav < aside && aside < footer)
        << lines.join(u'\n').toStdString();
    EXPECT_GE(lines.indexOf(QStringLiteral("<link rel=\"stylesheet\" href=\"zentarek-prosty.css\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<h1 class=\"do-srodka\">Piekarnia Kłos</h1>")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<img src=\"logo.png\" alt=\"Logo: Piekarnia Kłos\" width=\"480\" height=\"240\" "
                                           "class=\"logo\" fetchpriority=\"high\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<li><a href=\"https://mlyn.example.pl/?a=1&amp;b=2\"><img src=\"ikona.png\" alt=\"\" "
                                           "width=\"48\" height=\"48\" loading=\"lazy\">Młyn</a></li>")), 0);
    EXPECT_GE(lineOf(lines, QStringLiteral(".*alt=\"Zentarek Light\" width=\"88\" height=\"31\".*")), 0) << "the badge has a name";
    EXPECT_GE(lines.indexOf(QStringLiteral(":root { --tlo-obraz: url(\"tło.png\"); }")), 0) << "the picture is CSS";
    static const QRegularExpression presentational(
        QStringLiteral("<(font|center|hr|br|bgsound)\\b|\\s(align|bgcolor|border|background|text|link|vlink|alink)="),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines)
        EXPECT_FALSE(line.contains(presentational)) << line.toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("</html>"));
}

TEST(Html5Page, ChosenColoursReplaceTheLooksAndOnlyThey)
{
    PageDescription d = bakery();
    d.PopUp_Atrybuty_Tlo_Kolor = true;
    d.Panel_Podglad_Naglowki = QColor(0xFF, 0xF8, 0xE7);
    d.Przycisk_Atrybuty_Kolor_Tekst = QColor(0x33, 0x22, 0x11);
    d.Przycisk_Uklad_Naglowek_Kolor = QColor(0x80, 0, 0);
    d.Lista_Wyglad = QStringLiteral("ciemny");
    const QStringList lines = Generuj_Strone(d, bakeryContext()).pageLines;
    EXPECT_EQ(lines.value(1), QStringLiteral("<html lang=\"pl\" class=\"wlasne-kolory\">"));
    EXPECT_GE(lines.indexOf(QStringLiteral(":root { --tekst: #332211; --tlo: #fff8e7; --karta: #fff8e7; --naglowek: #800000; }")), 0)
        << lines.join(u'\n').toStdString();
    EXPECT_GE(lines.indexOf(QStringLiteral("<link rel=\"stylesheet\" href=\"zentarek-ciemny.css\">")), 0);

    PageDescription plain = bakery();
    plain.PopUp_Atrybuty_Tlo_Kolor = true;
    EXPECT_LT(Generuj_Strone(plain, bakeryContext()).pageLines.indexOf(QStringLiteral("<style>")), 0)
        << "the look's own colours need no style of the page";
}

TEST(Html5Page, SearchEnginesAndLinkPreviewsGetTheDescriptionAndAbsoluteAddresses)
{
    PageDescription d = bakery();
    GeneratorContext c = bakeryContext();
    QStringList lines = Generuj_Strone(d, c).pageLines;
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta name=\"description\" content=\"Piekarnia &quot;Kłos&quot;\">")), 0)
        << "without a description, the title";
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta property=\"og:image\" content=\"logo.png\">")), 0);
    EXPECT_LT(lineOf(lines, QStringLiteral(".*(canonical|og:url).*")), 0) << "no web address, no canonical link";
    EXPECT_GE(lines.indexOf(QStringLiteral("<link rel=\"apple-touch-icon\" sizes=\"180x180\" href=\"apple-touch-icon.png\">")), 0);

    d.Edit_Opis_Strony = QStringLiteral("  Chleb na zakwasie\n od 1998 roku. ");
    d.Edit_Adres_Strony = QStringLiteral("https://klos.example.pl/oferta/strona.html?x=1");
    c.pageName = QStringLiteral("chleb.html");
    lines = Generuj_Strone(d, c).pageLines;
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta name=\"description\" content=\"Chleb na zakwasie od 1998 roku.\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<link rel=\"canonical\" href=\"https://klos.example.pl/oferta/chleb.html\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta property=\"og:url\" content=\"https://klos.example.pl/oferta/chleb.html\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta property=\"og:image\" content=\"https://klos.example.pl/oferta/logo.png\">")), 0);
    EXPECT_GE(lines.indexOf(QStringLiteral("<meta property=\"og:locale\" content=\"pl_PL\">")), 0);
}

TEST(Html5Page, TheWebAddressIsTheFolderOfAnHttpAddress)
{
    const struct {
        const char *typed;
        const char *address;
    } cases[] = {{"https://piekarnia.example.pl", "https://piekarnia.example.pl/"},
                 {" https://piekarnia.example.pl/ ", "https://piekarnia.example.pl/"},
                 {"http://example.pl/~jan/index.html#gora", "http://example.pl/~jan/"},
                 {"https://example.pl/sklep/", "https://example.pl/sklep/"},
                 {"piekarnia.example.pl", ""},
                 {"ftp://example.pl/", ""},
                 {"https://", ""},
                 {"", ""}};
    for (const auto &c : cases) {
        PageDescription d;
        d.Edit_Adres_Strony = QString::fromUtf8(c.typed);
        EXPECT_EQ(pageWebAddress(d), QString::fromUtf8(c.address)) << c.typed;
    }
}

TEST(Html5Page, PicturesOfTheMainSectionKeepTheirPlaceWhileLoading)
{
    const QHash<QString, QSize> sizes{{QStringLiteral("foto.jpg"), QSize(1472, 1104)}};
    const struct {
        const char *line;
        bool lazy;
        const char *shown;
    } cases[] = {
        {"<IMG SRC=\"foto.jpg\" ALIGN=LEFT>", false, "<IMG SRC=\"foto.jpg\" ALIGN=LEFT width=\"1472\" height=\"1104\">"},
        {"<img src='foto.jpg' width=\"400\"/>", true, "<img src='foto.jpg' width=\"400\" height=\"300\" loading=\"lazy\"/>"},
        {"<img src=foto.jpg height=150>", false, "<img src=foto.jpg height=150 width=\"200\">"},
        {"<img src=\"foto.jpg\" width=\"10\" height=\"10\" loading=\"eager\">", true,
         "<img src=\"foto.jpg\" width=\"10\" height=\"10\" loading=\"eager\">"},
        {"<img src=\"inny.jpg\"> i <img src=\"foto.jpg\">", false, "<img src=\"inny.jpg\"> i <img src=\"foto.jpg\" width=\"1472\" height=\"1104\">"},
        {"tekst <image> bez obrazka", true, "tekst <image> bez obrazka"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(webImageTags(QString::fromUtf8(c.line), sizes, {}, c.lazy), QString::fromUtf8(c.shown)) << c.line;
    EXPECT_EQ(webImageTags(QStringLiteral("<p><IMG SRC=\"foto.jpg\" ALIGN=LEFT width=1 height=1></p>"), sizes,
                           {{QStringLiteral("foto.jpg"), QStringLiteral("foto.webp")}}, false),
              QStringLiteral("<p><picture><source type=\"image/webp\" srcset=\"foto.webp\"><IMG SRC=\"foto.jpg\" ALIGN=LEFT width=1 "
                             "height=1></picture></p>"))
        << "the WebP first, the tag as typed inside";
    EXPECT_EQ(focusableTables(QStringLiteral("<TABLE BORDER=1><tr><td><table tabindex=\"-1\"></table>")),
              QStringLiteral("<TABLE BORDER=1 tabindex=\"0\"><tr><td><table tabindex=\"-1\"></table>"));
}

TEST(Html5Page, EveryLookHasItsStylesheetAndAnUnknownOneIsTheSimplest)
{
    ASSERT_GE(themes().size(), 3);
    for (const Theme &t : themes()) {
        const QByteArray css = themeStylesheet(t.id);
        EXPECT_TRUE(css.contains("max-width: 100%; height: auto")) << t.id.toStdString() << ": pictures fit their column";
        EXPECT_TRUE(css.contains(("--karta: " + t.card.name()).toLatin1())) << t.id.toStdString() << ": the colours the checks use";
        EXPECT_TRUE(css.contains(("--tekst: " + t.text.name()).toLatin1())) << t.id.toStdString();
        EXPECT_TRUE(css.contains(("--odnosniki: " + t.link.name()).toLatin1())) << t.id.toStdString();
        EXPECT_GE(contrastRatio(t.text, t.card), 7.0) << t.id.toStdString();
        EXPECT_GE(contrastRatio(t.link, t.card), 4.5) << t.id.toStdString();
    }
    EXPECT_EQ(themeById(QStringLiteral("nie-ma")).id, DefaultThemeId);
    EXPECT_EQ(themeFileName(QStringLiteral("nie-ma")), QStringLiteral("zentarek-prosty.css"));
}

TEST(MarkupCheck, FaultsThatChangeHowThePageWorksAreFoundOnTheirLines)
{
    const QStringList lines{
        QStringLiteral("<P>Akapit bez zamknięcia"),             // 1: optional end tag, no fault
        QStringLiteral("<p>dwa <b>gruby <i>oba</b> koniec</i>"), // 2: <i> closed out of order
        QStringLiteral("<ul><li>a<li>b</ul>"),                   // 3: fine
        QStringLiteral("<IMG SRC=\"a.png\"><img src=b.png alt=\"\">"),
        QStringLiteral("<CENTER>x</CENTER> <div align=\"center\">z</div>"),
        QStringLiteral("</span><!-- <b> w komentarzu -->"),
        QStringLiteral("<table><tr><td bgcolor=red>1<td>2</table><br><hr>"),
        QStringLiteral("<a href=\"x.html\""),
        QStringLiteral(" title=\"dwa wiersze\">link"),
    };
    const QList<MarkupProblem> found = markupProblems(lines);
    QStringList shown;
    for (const MarkupProblem &p : found)
        shown << QStringLiteral("%1: %2").arg(p.line).arg(p.text);
    EXPECT_EQ(shown, (QStringList{
                         QStringLiteral("2: znacznik <i> nie jest zamknięty przed </b> (close-order)"),
                         QStringLiteral("2: zamknięcie </i> bez otwarcia (close-order)"),
                         QStringLiteral("4: obrazek \"a.png\" nie ma tekstu zastępczego ALT dla tych, którzy go nie widzą (wcag/h37)"),
                         QStringLiteral("5: znacznik <center> jest przestarzały, wygląd ustawia się w CSS (deprecated)"),
                         QStringLiteral("5: atrybut align znacznika <div> jest przestarzały, wygląd ustawia się w CSS (no-deprecated-attr)"),
                         QStringLiteral("6: zamknięcie </span> bez otwarcia (close-order)"),
                         QStringLiteral("7: atrybut bgcolor znacznika <td> jest przestarzały, wygląd ustawia się w CSS (no-deprecated-attr)"),
                         QStringLiteral("8: znacznik <a> nie jest zamknięty (close-order)"),
                     }))
        << shown.join(u'\n').toStdString();
    EXPECT_TRUE(markupProblems({QStringLiteral("<p>Dobrze <b>zamknięte</b> i <img src=\"a.png\" alt=\"kot\"></p>")}).isEmpty());
}

TEST(MarkupCheck, ContrastIsCountedAsWcagCountsIt)
{
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::white), 1.0);
    EXPECT_LT(contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.5) << "#777 on white fails AA";
    EXPECT_GT(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.5) << "#767676 passes, just";
    EXPECT_NEAR(contrastRatio(QColor(0, 0, 255), Qt::white), 8.59, 0.01);
}

} // namespace
