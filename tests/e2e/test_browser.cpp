// Pages written in both encodings, loaded into headless Chromium: the
// browser must show exactly the Polish text that was typed.
#include "Chromium.h"
#include "Encoding.h"
#include "Isolated.h"
#include "PageGenerator.h"

#include "../generator/Pages.h"

#include <QFile>

using namespace zk;
using zk::testing::Isolated;

namespace {

class BrowserTest : public Isolated, public ::testing::WithParamInterface<const char *> {
protected:
    QString dumpDom(const QString &page) { return zk::testing::dumpDom(page, folder(QStringLiteral("chromium-profile"))); }
};

TEST_P(BrowserTest, ShowsThePolishTextExactly)
{
    if (!zk::testing::chromiumInstalled())
        GTEST_SKIP() << "Chromium is not installed (scripts/deps.sh installs the chromium package)";
    const QString encoding = QString::fromLatin1(GetParam());
    const QString text = QStringLiteral("Zażółć gęślą jaźń – „cytat”");
    PageDescription d = zk::testing::freshDescription(QStringLiteral("Jan"));
    d.PageEncoding = encoding; // the head names the same set the bytes are written in
    d.Edit_Atrybuty_Tytul = text;
    d.Edit_Uklad_Glowny_Naglowek = text;
    d.Edytorek = {QStringLiteral("<P id=\"tresc\">") + text + QStringLiteral(" ŚŹĄ śźą</P>")};
    const GeneratedPage page = Generuj_Strone(d, zk::testing::fixedContext());
    const QString target = path(QStringLiteral("index.html"));
    ASSERT_TRUE(SaveEncoded(page.pageLines, target, encoding,
                            [](const QString &, const QString &text) { ADD_FAILURE() << text.toStdString(); }));

    const QString dom = dumpDom(target);
    ASSERT_FALSE(dom.isEmpty());
    EXPECT_TRUE(dom.contains(QStringLiteral("<title>") + text + QStringLiteral("</title>"))) << dom.toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("<font color=\"#000000\">") + text + QStringLiteral("</font></h1>")));
    EXPECT_TRUE(dom.contains(QStringLiteral("<p id=\"tresc\">") + text + QStringLiteral(" ŚŹĄ śźą</p>")));
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, BrowserTest, ::testing::Values("ISO-8859-2", "CP-1250"));

} // namespace
