#include "Html5Page.h"
#include "Isolated.h"
#include "PageChecks.h"
#include "Themes.h"
#include "WebFiles.h"
#include "../generator/Pages.h"
#include "../imaging/TestPictures.h"

#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace zk;
using namespace zk::testing;

namespace {

class WebFilesTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        pictures = folder(QStringLiteral("obrazki"));
        QImage logo(400, 200, QImage::Format_RGB32);
        logo.fill(QColor(150, 90, 40));
        ASSERT_TRUE(logo.save(pictures + QStringLiteral("logo.png")));
        QImage icon(64, 64, QImage::Format_RGB32);
        icon.fill(Qt::red);
        ASSERT_TRUE(icon.save(pictures + QStringLiteral("ikona.png")));
        ASSERT_TRUE(writeGif(pictures + QStringLiteral("kot.gif"), 30, 20));
        page = freshDescription(QStringLiteral("Jan Kowalski"));
        page.Lista_Atrybuty_DocType = Html5DocType;
        page.Lista_Wyglad = QStringLiteral("elegancki");
        page.Check_Uklad_Logo = true;
        page.Edit_Uklad_Logo = pictures + QStringLiteral("logo.png");
        page.Grid_Uklad_Odnosniki = {{QStringLiteral("Młyn"), QStringLiteral("https://mlyn.example.pl/")}};
        page.Check_Uklad_Odnosniki_Ikona = true;
        page.Edit_Uklad_Odnosniki_Ikonka = pictures + QStringLiteral("ikona.png");
        page.Edytorek = {QStringLiteral("<p><img src=\"%1kot.gif\" alt=\"Kot\"></p>").arg(pictures)};
    }

    AssetPlan plan() const
    {
        AssetContext context;
        context.reservedNames = {QStringLiteral("index.html"), QStringLiteral("zenanim.gif")};
        return Gen_List(page, context);
    }

    QString targetSource(const AssetPlan &p, const QString &target) const
    {
        for (const TravellingFile &f : p.files)
            if (f.target == target)
                return f.source;
        return {};
    }

    QString pictures;
    PageDescription page;
};

TEST_F(WebFilesTest, TheLookTheIconsAndThePicturesTravelWithThePage)
{
    AssetPlan p = plan();
    const WebFiles web = prepareWebFiles(p, page, QStringLiteral("index.html"), QString(), path(QStringLiteral("cache")));
    EXPECT_TRUE(web.problems.isEmpty()) << web.problems.join(u'\n').toStdString();
    EXPECT_EQ(readAll(targetSource(p, QStringLiteral("zentarek-elegancki.css"))), themeStylesheet(QStringLiteral("elegancki")));
    EXPECT_EQ(QImage(targetSource(p, FaviconName)).size(), QSize(32, 32));
    EXPECT_EQ(QImage(targetSource(p, TouchIconName)).size(), QSize(180, 180));
    EXPECT_TRUE(web.pageIcons);
    EXPECT_EQ(web.pictureSizes.value(QStringLiteral("logo.png")), QSize(400, 200)) << "small enough: as it is";
    EXPECT_EQ(targetSource(p, QStringLiteral("logo.png")), pictures + QStringLiteral("logo.png"));
    EXPECT_EQ(web.pictureSizes.value(QStringLiteral("ikona.png")), QSize(48, 48)) << "an icon is shown at 24 px";
    EXPECT_EQ(web.pictureSizes.value(QStringLiteral("kot.gif")), QSize(30, 20));
    EXPECT_TRUE(targetSource(p, SitemapName).isEmpty()) << "no web address: no sitemap";

    page.Edit_Adres_Strony = QStringLiteral("https://piekarnia.example.pl/");
    AssetPlan withAddress = plan();
    prepareWebFiles(withAddress, page, QStringLiteral("chleb.html"), QString(), path(QStringLiteral("cache")));
    const QByteArray sitemap = readAll(targetSource(withAddress, SitemapName));
    EXPECT_TRUE(sitemap.contains("<loc>https://piekarnia.example.pl/chleb.html</loc>")) << sitemap.toStdString();
    EXPECT_EQ(readAll(targetSource(withAddress, RobotsName)),
              QByteArray("User-agent: *\nAllow: /\nSitemap: https://piekarnia.example.pl/sitemap.xml\n"));
}

TEST_F(WebFilesTest, AUsersFileKeepsItsNameApartFromThePagesOwn)
{
    writeBytes(pictures + QStringLiteral("favicon-32.png"), "mój");
    page.Edytorek << QStringLiteral("<a href=\"%1favicon-32.png\">ikona</a>").arg(pictures);
    const AssetPlan p = plan();
    EXPECT_EQ(p.pageNames.value(pictures + QStringLiteral("favicon-32.png")), QStringLiteral("favicon-32-2.png"));
}

TEST_F(WebFilesTest, ShownWidthIsTheColumnOrTheWidthATagSets)
{
    EXPECT_EQ(shownWidth(QStringLiteral("a.jpg"), {QStringLiteral("<img src=\"a.jpg\">")}), 736);
    EXPECT_EQ(shownWidth(QStringLiteral("a.jpg"), {QStringLiteral("<IMG SRC=\"a.jpg\" WIDTH=\"200\">"),
                                                   QStringLiteral("<img width=300 src=a.jpg>")}), 300);
    EXPECT_EQ(shownWidth(QStringLiteral("a.jpg"), {QStringLiteral("<img src=\"a.jpg\" width=\"4000\">")}), 736);
    EXPECT_EQ(shownWidth(QStringLiteral("a.jpg"), {QStringLiteral("<img src=\"b.jpg\" width=\"20\">")}), 736);
}

class PageChecksTest : public WebFilesTest {
protected:
    QStringList findings()
    {
        AssetPlan p = plan();
        prepareWebFiles(p, page, QStringLiteral("index.html"), QString(), path(QStringLiteral("cache")));
        return pageCheckList(page, p, {QStringLiteral("<p>strona</p>")}, {pictures, QStringLiteral("index.html"), QString()});
    }
};

TEST_F(PageChecksTest, AWellMadePageHasNothingToMend)
{
    EXPECT_EQ(findings(), QStringList{});
}

TEST_F(PageChecksTest, FaintColoursMissingFilesMarkupAndWeightAreListed)
{
    page.Przycisk_Atrybuty_Kolor_Tekst = QColor(0x77, 0x77, 0x77);
    page.Przycisk_Atrybuty_Kolor_Odnosniki = QColor(0x20, 0x40, 0xA0);
    page.Edytorek = {QStringLiteral("<p>Chleb</p>"), QStringLiteral("<a href=\"cennik.html\">Cennik</a> <a href=\"kot.gif#x\">kot</a>"),
                     QStringLiteral("<img src=\"%1nie_ma.png\" alt=\"x\">").arg(pictures), QStringLiteral("<center>x")};
    const QStringList found = findings();
    ASSERT_EQ(found.size(), 5) << found.join(u'\n').toStdString();
    EXPECT_EQ(found[0], QStringLiteral("Tekst (#777777) na tle (#FFFDF9) ma kontrast 4,40:1, a czytelny wymaga co najmniej 4,5:1."))
        << "the look's own ground";
    EXPECT_TRUE(found[1].contains(QStringLiteral("nie_ma.png")));
    EXPECT_TRUE(found[2].startsWith(QStringLiteral("Wiersz 2 głównej sekcji: nie ma pliku \"cennik.html\""))) << found[2].toStdString();
    EXPECT_EQ(found[3], QStringLiteral("Wiersz 4 głównej sekcji: znacznik <center> jest przestarzały, wygląd ustawia się w CSS (deprecated)."));
    EXPECT_EQ(found[4], QStringLiteral("Wiersz 4 głównej sekcji: znacznik <center> nie jest zamknięty (close-order)."));

    page.Przycisk_Atrybuty_Kolor_Tekst = QColor(0, 0, 0);
    page.Edytorek = {QStringLiteral("<p>ok</p>")};
    page.PopUp_Atrybuty_Tlo_Kolor = true;
    page.Panel_Podglad_Naglowki = QColor(0x10, 0x10, 0x10);
    page.Lista_Wyglad = QStringLiteral("ciemny");
    const QStringList dark = findings();
    ASSERT_EQ(dark.size(), 1) << dark.join(u'\n').toStdString();
    EXPECT_TRUE(dark[0].startsWith(QStringLiteral("Odnośniki (#2040A0) na tle (#101010)"))) << "the chosen ground, the chosen links";

    page.PopUp_Atrybuty_Tlo_Kolor = false;
    page.Przycisk_Atrybuty_Kolor_Odnosniki = QColor(0, 0, 255);
    page.Przycisk_Atrybuty_Kolor_Tekst = QColor(0x22, 0x22, 0x22);
    QImage black(40, 40, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(black.save(pictures + QStringLiteral("tlo.png")));
    page.BackgroundImagePath = pictures + QStringLiteral("tlo.png");
    page.Lista_Wyglad = QStringLiteral("prosty");
    EXPECT_EQ(findings(), QStringList{}) << "on a white section a black picture shows through only a little";

    QByteArray heavy(6 * 1024 * 1024, '\0');
    for (char &c : heavy)
        c = char(QRandomGenerator::global()->generate());
    writeBytes(pictures + QStringLiteral("film.mp4"), heavy);
    page.Edytorek = {QStringLiteral("<video src=\"%1film.mp4\"></video>").arg(pictures)};
    const QStringList weight = findings();
    ASSERT_EQ(weight.size(), 1);
    EXPECT_TRUE(weight[0].startsWith(QStringLiteral("Strona z plikami waży 6,0 MB"))) << weight[0].toStdString();
}

TEST(PageChecks, TheQuestionListsEveryFinding)
{
    const QString text = checkListQuestion({QStringLiteral("jeden"), QStringLiteral("dwa")});
    EXPECT_TRUE(text.contains(QStringLiteral("• jeden\n• dwa")));
    EXPECT_TRUE(text.contains(QStringLiteral("Kontynuować mimo to?")));
}

} // namespace
