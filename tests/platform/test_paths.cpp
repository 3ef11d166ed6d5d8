#include "FileFilter.h"
#include "Paths.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace zk;

namespace {

TEST(Paths, FileNameFollowsTheLastSlashBackslashOrColon)
{
    const std::pair<const char *, const char *> cases[] = {
        {"D:\\Obrazki\\tlo.jpg", "tlo.jpg"}, {"/home/jan/tlo.jpg", "tlo.jpg"}, {"img/a.gif", "a.gif"},
        {"C:tlo.jpg", "tlo.jpg"},           {"a.gif", "a.gif"},               {"/home/jan/", ""},
        {"", ""},                          {"mix/of\\both:x.png", "x.png"}};
    for (const auto &[path, name] : cases)
        EXPECT_EQ(fileNameOf(QString::fromLatin1(path)), QString::fromLatin1(name)) << path;
    EXPECT_EQ(folderOf(QStringLiteral("/opt/zk/temp/index.html")), QStringLiteral("/opt/zk/temp"));
    EXPECT_EQ(folderOf(QStringLiteral("index.html")), QString());
}

TEST(Paths, FoldersGetExactlyOneTrailingSeparator)
{
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/opt/zk")), QStringLiteral("/opt/zk/"));
    EXPECT_EQ(withTrailingSeparator(QStringLiteral("/opt/zk/")), QStringLiteral("/opt/zk/"));
    EXPECT_EQ(withTrailingSeparator(QString()), QString());
}

TEST(FileFilter, PipeFiltersBecomeCaseInsensitiveQtFilters)
{
    EXPECT_EQ(nameFiltersFromPipeFilter(QStringLiteral("Pliki graficzne (gif, jpg, png)|*.gif;*.jpg;*.png")),
              QStringList{QStringLiteral("Pliki graficzne (gif, jpg, png) (*.[gG][iI][fF] *.[jJ][pP][gG] *.[pP][nN][gG])")});
    EXPECT_EQ(nameFiltersFromPipeFilter(QStringLiteral("Dźwięki|*.wav;*.mid|Wszystkie|*.*")),
              (QStringList{QStringLiteral("Dźwięki (*.[wW][aA][vV] *.[mM][iI][dD])"), QStringLiteral("Wszystkie (*.*)")}));
    EXPECT_TRUE(nameFiltersFromPipeFilter(QString()).isEmpty());
}

} // namespace
