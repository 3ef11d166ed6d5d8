// A page saved and previewed from the real window, opened in headless
// Chromium after the folders its pictures came from are gone: every
// picture must still load.
#include "Chromium.h"
#include "Isolated.h"
#include "Kreator.h"
#include "THtmlMemo.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::readFile;

namespace {

class PageTravelTest : public Isolated {
protected:
    // A picture whose width tells it apart from every other one.
    void picture(const QString &path, int width, const char *format = "png")
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImage image(width, 5, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        ASSERT_TRUE(image.save(path, format)) << path.toStdString();
    }
    void save(TKreatorDlg &window, const QString &into, bool expectQuestion = false)
    {
        prompts.answerFolder(into);
        if (expectQuestion)
            prompts.answerQuestion(true);
        QTest::mouseClick(window.BTN_Zapisz, Qt::LeftButton);
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    // "src=naturalWidth" of every picture of the page, as the browser loaded them.
    QMap<QString, int> widthsShown(const QString &page)
    {
        const QString dom = zk::testing::dumpDom(page, folder(QStringLiteral("chromium-profile")));
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("data-widths=\"([^\"]*)\"")).match(dom);
        EXPECT_TRUE(m.hasMatch()) << dom.toStdString();
        QMap<QString, int> widths;
        for (const QString &item : m.captured(1).split(u'|', Qt::SkipEmptyParts))
            widths.insert(item.section(u'=', 0, -2), item.section(u'=', -1).toInt());
        return widths;
    }
};

const QString ReportWidths = QStringLiteral(
    "<SCRIPT>window.onload = function () { var r = []; for (var i = 0; i < document.images.length; i++) {"
    " var m = document.images[i]; r.push(m.getAttribute('src') + '=' + m.naturalWidth); }"
    " document.body.setAttribute('data-widths', r.join('|')); };</SCRIPT>");

TEST_F(PageTravelTest, ASavedPageShowsEveryPictureAfterItsSourcesAreGone)
{
    if (!zk::testing::chromiumInstalled())
        GTEST_SKIP() << "Chromium is not installed (scripts/deps.sh installs the chromium package)";
    const QString a = folder(QStringLiteral("Zdjęcia")), b = folder(QStringLiteral("Inne")), site = folder(QStringLiteral("Witryna"));
    picture(a + QStringLiteral("logo.png"), 11);
    picture(a + QStringLiteral("foto.png"), 12);
    picture(a + QStringLiteral("duzy.jpeg"), 13, "jpeg");
    picture(a + QStringLiteral("Kot.png"), 14);
    picture(a + QStringLiteral("kot.png"), 15);
    picture(b + QStringLiteral("foto.png"), 16);
    picture(a + QStringLiteral("plik.png"), 17);
    picture(site + QStringLiteral("img/rel.png"), 18);

    TKreatorDlg window(programFolderWithBadge());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Check_Uklad_Logo->setChecked(true);
    window.Edit_Uklad_Logo->setText(a + QStringLiteral("logo.png"));
    window.Edytorek->setPlainText(
        QStringList{QStringLiteral("<P><A HREF=\"%1duzy.jpeg\"><IMG SRC=\"%1foto.png\"></A> <IMG SRC='%1duzy.jpeg'></P>").arg(a),
                    QStringLiteral("<P><IMG SRC=\"%1Kot.png\"><img src=%1kot.png><IMG SRC=\"%2foto.png\"></P>").arg(a, b),
                    QStringLiteral("<P><IMG SRC=\"file://%1plik.png\"><IMG SRC=\"img/rel.png\"></P>").arg(a),
                    QStringLiteral("<P><IMG SRC=\"http://www.example.com/img/baner.gif\"></P>"), ReportWidths}
            .join(u'\n'));
    save(window, site.chopped(1)); // the page's first home: relative references resolve there from now on
    const QString target = folder(QStringLiteral("Serwer/www"));
    save(window, target.chopped(1));
    EXPECT_TRUE(QFile::exists(target + QStringLiteral("img/rel.png")));
    QTest::mouseClick(window.Przycisk_Podglad, Qt::LeftButton);
    ASSERT_EQ(shell.calls.size(), 1);
    const QString previewed = window.paths().tempFolder + QStringLiteral("index.html"); // the file the served page comes from

    for (const QString &gone : {a, b, site})
        ASSERT_TRUE(QDir().rename(gone.chopped(1), gone.chopped(1) + QStringLiteral("-przeniesione")));
    const QMap<QString, int> expected = {{QStringLiteral("logo.png"), 11},  {QStringLiteral("foto.png"), 12},
                                         {QStringLiteral("duzy.jpeg"), 13}, {QStringLiteral("Kot.png"), 14},
                                         {QStringLiteral("kot-2.png"), 15}, {QStringLiteral("foto-2.png"), 16},
                                         {QStringLiteral("plik.png"), 17},  {QStringLiteral("img/rel.png"), 18}};
    for (const QString &page : {target + QStringLiteral("index.html"), previewed}) {
        const QMap<QString, int> widths = widthsShown(page);
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(widths.value(it.key(), -1), it.value()) << it.key().toStdString() << " in " << page.toStdString();
        EXPECT_TRUE(widths.contains(QStringLiteral("http://www.example.com/img/baner.gif"))) << "a web address is kept as typed";
    }
    const QByteArray page = readFile(target + QStringLiteral("index.html"));
    EXPECT_TRUE(page.contains("<A HREF=\"duzy.jpeg\">")) << "the link to the large picture travels too";
    window.hide();
}

} // namespace
