#include "FileFilter.h"
#include "LateLibrary.h"
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

namespace {

// A library opened on first use says in Polish what is missing: the file, or
// the functions the program calls.
TEST(LateLibraryTest, SaysWhichLibraryOrWhichFunctionsAreMissing)
{
    LateLibrary absent(QStringLiteral("zk-nie-ma-takiej"), QStringLiteral("7"));
    void (*any)() = nullptr;
    absent.resolve(any, "strlen");
    EXPECT_FALSE(absent.isComplete());
    EXPECT_EQ(absent.problem(), QStringLiteral("nie można wczytać biblioteki \"libzk-nie-ma-takiej.so.7\" "
                                               "(nie jest zainstalowana albo jest uszkodzona)"));

    LateLibrary c(QStringLiteral("c"), QStringLiteral("6"));
    size_t (*length)(const char *) = nullptr;
    c.resolve(length, "strlen");
    ASSERT_TRUE(c.isComplete()) << c.problem().toStdString();
    EXPECT_TRUE(c.problem().isEmpty());
    EXPECT_EQ(length("piekarnia"), 9u) << "the real function";
    void (*none)() = nullptr, (*nor)() = nullptr;
    c.resolve(none, "zk_nie_ma_takiej_funkcji");
    c.resolve(nor, "zk_ani_tej");
    EXPECT_FALSE(c.isComplete());
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(c.problem(), QStringLiteral("biblioteka \"libc.so.6\" nie ma funkcji zk_nie_ma_takiej_funkcji, zk_ani_tej "
                                          "(to inna jej wersja niż ta, z którą zbudowano program)"));
}

} // namespace
