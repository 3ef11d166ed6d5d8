#include "HelpFile.h"
#include "HelpViewer.h"

#include <QObject>
#include <QSet>
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace zk;

namespace {

TEST(HelpFile, TopicsParagraphsAndContents)
{
    const HelpFile file = HelpFile::parse(QStringLiteral(
        "; komentarz\n@contents Spis treści\nPierwszy\nakapit.\n\nDrugi.\n"
        "@1000,1001 Sekcje\r\nOpis sekcji.\r\n; ukryte\r\n@abc Zły nagłówek\nznika\n@10 Publikowanie\nTekst.\n"));
    EXPECT_EQ(file.contents().title, QStringLiteral("Spis treści"));
    EXPECT_EQ(file.contents().paragraphs, (QStringList{QStringLiteral("Pierwszy akapit."), QStringLiteral("Drugi.")}));
    ASSERT_EQ(file.topics().size(), 2);
    ASSERT_NE(file.topic(1001), nullptr);
    EXPECT_EQ(file.topic(1001), file.topic(1000));
    EXPECT_EQ(file.topic(1000)->paragraphs, QStringList{QStringLiteral("Opis sekcji.")});
    EXPECT_EQ(file.topic(10)->title, QStringLiteral("Publikowanie"));
    EXPECT_EQ(file.topic(1002), nullptr);
}

// The help file shipped with the program answers every context number
// that the windows and dialogs carry.
TEST(HelpFile, ShippedFileHasATopicForEveryContextNumber)
{
    const auto file = HelpFile::load(QStringLiteral(ZK_SOURCE_DIR "/resources/stronarz.hlp"));
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->contents().paragraphs.isEmpty());
    QList<int> numbers = {10, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012,
                          1013, 1014, 1015, 1016, 1018, 1019, 1020, 1021, 1023, 1025, 1026, 1027, 1028,
                          1040, 1045, 1080, 1081, 1100, 1106, 1107, 1108, 1109, 1110};
    for (int n = 1030; n <= 1034; ++n)
        numbers << n;
    for (int n = 1050; n <= 1063; ++n)
        numbers << n;
    for (int n = 1090; n <= 1095; ++n)
        numbers << n;
    QSet<int> seen;
    for (const HelpTopic &t : file->topics())
        for (int n : t.contexts) {
            EXPECT_FALSE(seen.contains(n)) << "topic " << n << " is defined twice";
            seen.insert(n);
        }
    for (int n : numbers) {
        const HelpTopic *t = file->topic(n);
        ASSERT_NE(t, nullptr) << "no topic " << n;
        EXPECT_FALSE(t->title.isEmpty()) << n;
        EXPECT_FALSE(t->paragraphs.isEmpty()) << n;
    }
}

TEST(HelpContext, NearestEnclosingObjectWithANumberAnswers)
{
    QObject page;
    QObject group(&page);
    QObject control(&group);
    QObject numbered(&group);
    QObject orphan;
    setHelpContext(&page, 1100);
    setHelpContext(&numbered, 1009);
    EXPECT_EQ(helpContextOf(&control), 1100);
    EXPECT_EQ(helpContextOf(&numbered), 1009);
    EXPECT_EQ(helpContextOf(&orphan), 0);
}

} // namespace
