#include "AppError.h"
#include "Isolated.h"
#include "Messages.h"

#include <QPushButton>
#include <QTest>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace zk;
using zk::testing::Isolated;
using Kind = zk::testing::ScriptedPrompts::Kind;

namespace {

#if defined(__SANITIZE_ADDRESS__)
struct LeakCheckPause {
    LeakCheckPause() { __lsan_disable(); }
    ~LeakCheckPause() { __lsan_enable(); }
};
#else
struct LeakCheckPause {
    LeakCheckPause() {} // user-provided: an object that does nothing, not an unused one
    ~LeakCheckPause() {}
};
#endif

using MessagesTest = Isolated;

TEST_F(MessagesTest, PotwierdzenieFillsInItsDefaultWordingAndReturnsTheAnswer)
{
    prompts.answerQuestion(true);
    prompts.answerQuestion(false);
    EXPECT_TRUE(Potwierdzenie(QString(), QString(), nullptr));
    EXPECT_FALSE(Potwierdzenie(QStringLiteral("Pytanie"), QStringLiteral("Na pewno?"), nullptr));
    ASSERT_EQ(prompts.calls().size(), 2);
    EXPECT_EQ(prompts.calls()[0].kind, Kind::Question);
    EXPECT_EQ(prompts.calls()[0].caption, QStringLiteral("Konieczne potwierdzenie!"));
    EXPECT_EQ(prompts.calls()[0].text, QStringLiteral("Czy aby na pewno wykonać tą operację?"));
    EXPECT_EQ(prompts.calls()[1].caption, QStringLiteral("Pytanie"));
    EXPECT_EQ(prompts.calls()[1].text, QStringLiteral("Na pewno?"));
}

TEST_F(MessagesTest, BladMsgPassesItsFlagsCaptionAndTextUnchanged)
{
    BladMsg(48, QStringLiteral("UWAGA!"), QStringLiteral("Plik \"a.png\" nie jest obsługiwany!"), nullptr);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].flags, 48);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("UWAGA!"));
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Plik \"a.png\" nie jest obsługiwany!"));
}

TEST(ErrorReportText, DotIsAddedOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(errorReportText(QStringLiteral("Nie można otworzyć pliku")), QStringLiteral("Nie można otworzyć pliku."));
    EXPECT_EQ(errorReportText(QStringLiteral("Błąd!")), QStringLiteral("Błąd!"));
    EXPECT_EQ(errorReportText(QStringLiteral("Koniec.")), QStringLiteral("Koniec."));
    EXPECT_EQ(errorReportText(QStringLiteral("(kod 5)")), QStringLiteral("(kod 5)"));
    EXPECT_EQ(errorReportText(QStringLiteral("Czy to ścieżka?")), QStringLiteral("Czy to ścieżka?."));
    EXPECT_EQ(errorReportText(QStringLiteral("numer 7")), QStringLiteral("numer 7."));
    EXPECT_EQ(errorReportText(QStringLiteral("źdźbło ż")), QStringLiteral("źdźbło ż."));
    EXPECT_EQ(errorReportText(QString()), QString());
}

TEST_F(MessagesTest, AnErrorEscapingAHandlerIsReportedAndTheProgramGoesOn)
{
    QPushButton button(QStringLiteral("Polecenie"));
    button.setObjectName(QStringLiteral("Polecenie"));
    int runs = 0, after = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++runs;
        if (runs == 1)
            throw AppError(QStringLiteral("Brak dostępu do pliku /x/y.html"));
        if (runs == 2)
            throw std::runtime_error("Permission denied!");
        ++after;
    });
    {
        // Qt's event delivery is not exception-safe: the mouse event in flight
        // is lost with the frames the error unwinds, and with it a guarded
        // pointer to the button. That is Qt's memory, not the command's, and
        // the sanitizer build is told so.
        LeakCheckPause pause;
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton); // frees what it can of the lost event's state
    }
    button.hide();
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(after, 1) << "the remaining steps of a failed command are skipped, later commands run";
    const auto messages = prompts.messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].caption, AppTitle);
    EXPECT_EQ(messages[0].flags, 16);
    EXPECT_EQ(messages[0].text, QStringLiteral("Brak dostępu do pliku /x/y.html."));
    EXPECT_EQ(messages[1].text, QStringLiteral("Permission denied!"));
}

} // namespace
