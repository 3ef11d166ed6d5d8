#include "Isolated.h"
#include "LiveCheck.h"
#include "Servers.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace zk;
using zk::testing::HttpServer;

namespace {

class LiveCheckTest : public zk::testing::Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        sent = folder(QStringLiteral("wysłane"));
        web = folder(QStringLiteral("www"));
        for (const auto &[name, bytes] : {std::pair{"index.html", QByteArray("<!DOCTYPE html><p>Chleb</p>")},
                                          std::pair{"logo.png", QByteArray(5000, 'L')},
                                          std::pair{"zdjęcia/kot zakwas.jpg", QByteArray(70000, 'K')}}) {
            writeFile(sent + QString::fromUtf8(name), bytes);
            writeFile(web + QString::fromUtf8(name), bytes);
            files << SentFile{sent + QString::fromUtf8(name), QString::fromUtf8(name)};
        }
    }
    QString sent, web;
    QList<SentFile> files;
};

TEST_F(LiveCheckTest, TheWebShowsWhatWasSentOrEachDifferenceIsNamed)
{
    HttpServer server(web);
    ASSERT_TRUE(server.isUp());
    EXPECT_EQ(liveDifferences(server.address(), files), QStringList{}) << "Polish names and folders, byte for byte";

    writeFile(web + QStringLiteral("index.html"), "<!DOCTYPE html><p>Stara strona</p>");
    QFile::remove(web + QStringLiteral("zdjęcia/kot zakwas.jpg"));
    const QStringList differences = liveDifferences(server.address(), files);
    EXPECT_EQ(differences, (QStringList{QStringLiteral("index.html: inna treść niż wysłana"),
                                        QStringLiteral("zdjęcia/kot zakwas.jpg: nie ma go tam (HTTP 404)")}));
    const QString text = liveCheckWarning(server.address(), QStringLiteral("/www"), differences);
    EXPECT_TRUE(text.contains(QStringLiteral("pod adresem %1 internet pokazuje co innego").arg(server.address())));
    EXPECT_TRUE(text.contains(QStringLiteral("• index.html: inna treść niż wysłana\n• zdjęcia/")));
    EXPECT_TRUE(text.contains(QStringLiteral("folder na serwerze (\"/www\")")));
}

TEST_F(LiveCheckTest, AServerThatIsNotThereOrNeverAnswersIsSaidOnceWithinTheDeadline)
{
    const quint16 nobody = zk::testing::freePort();
    EXPECT_EQ(liveDifferences(QStringLiteral("http://127.0.0.1:%1/").arg(nobody), files),
              QStringList{QStringLiteral("127.0.0.1: serwer odmówił połączenia")});

    QTcpServer silent; // takes the connections and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] { held << silent.nextPendingConnection(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(liveDifferences(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()), files, 500),
              QStringList{QStringLiteral("127.0.0.1: serwer nie odpowiedział w czasie")});
    EXPECT_LT(clock.elapsed(), 10000) << "the deadline holds for all the files together";
    EXPECT_FALSE(held.isEmpty());
}

TEST(LiveCheck, SentFilesGoUnderTheirRemoteNamesAndTheBadgeUnderItsOwn)
{
    const QList<SentFile> sent = sentFiles({QStringLiteral("/tmp/a/index.html"), QStringLiteral("/home/jan/kot.jpg")},
                                           {{QStringLiteral("/home/jan/kot.jpg"), QStringLiteral("img/kot.jpg")}},
                                           QStringLiteral("/nie/ma/zen_anim.gif"), QStringLiteral("zenanim.gif"));
    ASSERT_EQ(sent.size(), 2) << "a badge that is not there is not looked for";
    EXPECT_EQ(sent[0].remoteName, QStringLiteral("index.html"));
    EXPECT_EQ(sent[1].remoteName, QStringLiteral("img/kot.jpg"));
}

} // namespace
