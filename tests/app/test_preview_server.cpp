#include "Eventually.h"
#include "Isolated.h"
#include "Kreator.h"
#include "PreviewServer.h"
#include "RealPrompts.h"
#include "THtmlMemo.h"

#include <QApplication>
#include <QMessageBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::readFile;

namespace {

// One whole HTTP exchange, the server answering from this same event loop.
QByteArray exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    QByteArray got;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { got += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    return got;
}

QByteArray get(quint16 port, const QByteArray &path, const QByteArray &host = {})
{
    const QByteArray named = host.isEmpty() ? "127.0.0.1:" + QByteArray::number(port) : host;
    return exchange(port, "GET " + path + " HTTP/1.1\r\nHost: " + named + "\r\n\r\n");
}

int statusOf(const QByteArray &response)
{
    return response.mid(9, 3).toInt();
}

QByteArray bodyOf(const QByteArray &response)
{
    return response.mid(response.indexOf("\r\n\r\n") + 4);
}

// A browser holding the page open: its event stream, read as it comes.
struct Watcher {
    explicit Watcher(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("GET /__zentarek_zmiany HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    }
    int events() const { return int(received.count("data: zmiana\n\n")); }
    QTcpSocket socket;
    QByteArray received;
};

class PreviewServerTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        root = folder(QStringLiteral("podglad"));
        writeFile(root + QStringLiteral("index.html"), "<HTML><BODY>Strona</BODY></HTML>\n");
        writeFile(root + QStringLiteral("img/kot.gif"), "GIF89a kot");
        writeFile(root + QStringLiteral("Mój kot.jpg"), "JFIF");
        writeFile(path(QStringLiteral("tajne.txt")), "tajne");
        QFile::link(path(QStringLiteral("tajne.txt")), root + QStringLiteral("dowiazanie.txt"));
        ASSERT_TRUE(server.start(root));
    }
    QString root;
    PreviewServer server;
};

TEST_F(PreviewServerTest, ServesThePageWithItsReloadScriptAndItsFilesAsTheyAre)
{
    const QByteArray page = get(server.port(), "/index.html");
    EXPECT_EQ(statusOf(page), 200) << page.constData();
    EXPECT_TRUE(page.contains("Content-Type: text/html\r\n"));
    const QByteArray body = bodyOf(page);
    EXPECT_TRUE(body.startsWith("<HTML><BODY>Strona<script>")) << body.constData();
    EXPECT_TRUE(body.endsWith("</script>\n</BODY></HTML>\n")) << "the script goes before </body>";
    EXPECT_TRUE(page.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
    EXPECT_EQ(readFile(root + QStringLiteral("index.html")), QByteArray("<HTML><BODY>Strona</BODY></HTML>\n"))
        << "the file on disk never carries the script";

    const QByteArray picture = get(server.port(), "/img/kot.gif");
    EXPECT_EQ(statusOf(picture), 200);
    EXPECT_TRUE(picture.contains("Content-Type: image/gif\r\n"));
    EXPECT_EQ(bodyOf(picture), QByteArray("GIF89a kot"));
    EXPECT_EQ(bodyOf(get(server.port(), "/M%C3%B3j%20kot.jpg")), QByteArray("JFIF")) << "names are percent-decoded";
    EXPECT_EQ(bodyOf(get(server.port(), "/index.html?t=1")).left(6), QByteArray("<HTML>")) << "a query is no part of the name";

    const QByteArray head = exchange(server.port(), "HEAD /img/kot.gif HTTP/1.1\r\nHost: localhost:" + QByteArray::number(server.port()) + "\r\n\r\n");
    EXPECT_EQ(statusOf(head), 200);
    EXPECT_TRUE(bodyOf(head).isEmpty());
}

TEST_F(PreviewServerTest, ServesNothingOutsideTheFolderNorToStrangers)
{
    for (const QByteArray &path : {QByteArray("/../tajne.txt"), QByteArray("/img/../../tajne.txt"), QByteArray("/%2e%2e/tajne.txt"),
                                   QByteArray("/%2E%2E%2Ftajne.txt"), QByteArray("/img/%2e%2e/%2e%2e/tajne.txt"),
                                   QByteArray("/..%5ctajne.txt"), QByteArray("/dowiazanie.txt"), QByteArray("/img"),
                                   QByteArray("/"), QByteArray("/brak.html"), QByteArray("/index.html%00.gif"),
                                   QByteArray("index.html")})
        EXPECT_EQ(statusOf(get(server.port(), path)), 404) << path.constData();
    EXPECT_EQ(previewFileFor(root, "/img/./kot.gif"), QFileInfo(root + QStringLiteral("img/kot.gif")).canonicalFilePath());

    EXPECT_EQ(statusOf(get(server.port(), "/index.html", "zly.example.com")), 403)
        << "a site whose name points at 127.0.0.1 reads nothing";
    EXPECT_EQ(statusOf(exchange(server.port(), "POST /index.html HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server.port()) + "\r\n\r\n")), 405);
    EXPECT_EQ(statusOf(exchange(server.port(), "GET /index.html\r\n\r\n")), 400);
    EXPECT_EQ(statusOf(exchange(server.port(), "GET /" + QByteArray(20000, 'a'))), 431) << "an endless request line is cut off";

    EXPECT_TRUE(server.listensOn() == QHostAddress(QHostAddress::LocalHost)) << "only this computer can connect";
    EXPECT_TRUE(server.networkAddress(QStringLiteral("index.html")).isEmpty());
    ASSERT_TRUE(server.start(root, true));
    EXPECT_TRUE(server.listensOn() == QHostAddress(QHostAddress::Any)) << "once the user allowed the network";
    EXPECT_EQ(statusOf(get(server.port(), "/index.html", "192.168.1.7:" + QByteArray::number(server.port()))), 200)
        << "a phone names the computer by its network address";
}

TEST_F(PreviewServerTest, ASilentClientIsLetGoAtTheDeadline)
{
    server.setRequestDeadline(500);
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, server.port());
    idle.write("GET /index.html HTTP/1.1\r\n"); // and never the rest
    QElapsedTimer clock;
    clock.start();
    ASSERT_EVENTUALLY(idle.state() == QAbstractSocket::UnconnectedState, 3000);
    EXPECT_GE(clock.elapsed(), 400);
}

TEST_F(PreviewServerTest, ABrowserHoldingThePageHearsOfEveryChange)
{
    Watcher first(server.port());
    ASSERT_EVENTUALLY(server.watchers() == 1, 5000);
    ASSERT_EVENTUALLY(first.received.contains("text/event-stream"), 5000);
    server.pageChanged();
    ASSERT_EVENTUALLY(first.events() == 1, 5000);
    {
        Watcher second(server.port());
        ASSERT_EVENTUALLY(server.watchers() == 2, 5000);
        server.pageChanged();
        ASSERT_EVENTUALLY(second.events() == 1 && first.events() == 2, 5000);
    }
    ASSERT_EVENTUALLY(server.watchers() == 1, 5000) << "a closed page stops being told";
    EXPECT_EQ(statusOf(get(server.port(), "/index.html")), 200) << "files are served beside the streams";
}

class LivePreviewTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        window = std::make_unique<TKreatorDlg>(programFolderWithBadge());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        page = window->paths().tempFolder + QStringLiteral("index.html");
    }
    void TearDown() override
    {
        window.reset();
        Isolated::TearDown();
    }
    QByteArray served() { return bodyOf(get(window->previewServer()->port(), "/index.html")); }
    std::unique_ptr<TKreatorDlg> window;
    QString page;
};

TEST_F(LivePreviewTest, ThePageFollowsTheFormWhileABrowserWatches)
{
    EXPECT_FALSE(window->Link_Telefon->isVisible()) << "no address before the first Preview";
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_TRUE(window->previewServer()->isListening());
    EXPECT_TRUE(window->Link_Telefon->isVisible());
    Watcher browser(window->previewServer()->port());
    ASSERT_EVENTUALLY(window->previewServer()->watchers() == 1, 5000);

    window->Pages->setCurrentIndex(2);
    window->Edytorek->setFocus();
    QTest::keyClicks(window->Edytorek, QStringLiteral("Drozdzowki"));
    ASSERT_EVENTUALLY(browser.events() == 1, 3000) << "one reload once the typing pauses";
    EXPECT_TRUE(readFile(page).contains("Drozdzowki"));
    EXPECT_FALSE(readFile(page).contains("<script>")) << "the file on disk never carries the script";
    const QByteArray shown = served();
    EXPECT_TRUE(shown.contains("Drozdzowki") && shown.contains("<script>")) << shown.constData();

    window->Edytorek->insertPlainText(QStringLiteral(" i pączki"));
    ASSERT_EVENTUALLY(browser.events() == 2, 3000);
    EXPECT_TRUE(readFile(page).contains("p\xb1\x63zki")) << "written in the page's own encoding";

    window->Edit_Uklad_Podtytul->setText(QStringLiteral("Piekarnia"));
    ASSERT_EVENTUALLY(browser.events() == 3, 3000) << "a field changes the page too";
    EXPECT_TRUE(readFile(page).contains("Piekarnia"));
}

TEST_F(LivePreviewTest, NoBrowserNoWorkAndABrowserComingLateGetsTheLatest)
{
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    ASSERT_TRUE(window->previewServer()->isListening());
    const QByteArray before = readFile(page);
    window->Edytorek->setPlainText(QStringLiteral("<P>Chleb</P>"));
    QTest::qWait(TKreatorDlg::LivePreviewDelay * 3);
    EXPECT_EQ(readFile(page), before) << "nothing is generated while no browser looks";

    Watcher browser(window->previewServer()->port());
    ASSERT_EVENTUALLY(browser.events() == 1, 3000) << "the browser that connects is told the page moved on";
    EXPECT_TRUE(readFile(page).contains("<P>Chleb</P>"));
}

TEST_F(LivePreviewTest, ClosingTheWindowEndsThePreviewAndWritesNothingAfterwards)
{
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    Watcher browser(window->previewServer()->port());
    ASSERT_EVENTUALLY(window->previewServer()->watchers() == 1, 5000);
    window->Edytorek->setPlainText(QStringLiteral("<P>ostatnia zmiana</P>"));
    window->close(); // before the change is written
    EXPECT_FALSE(window->previewServer()->isListening());
    ASSERT_EVENTUALLY(browser.socket.state() == QAbstractSocket::UnconnectedState, 3000) << "the browser's stream ends";
    QTest::qWait(TKreatorDlg::LivePreviewDelay * 3);
    EXPECT_FALSE(QFile::exists(page)) << "the temporary folder is left empty";
}

TEST_F(LivePreviewTest, ThePhoneLinkAsksBeforeOpeningThePreviewToTheNetwork)
{
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const quint16 port = window->previewServer()->port();
    prompts.answerQuestion(false);
    window->Link_TelefonClick();
    ASSERT_EQ(prompts.calls().size(), 1);
    EXPECT_TRUE(prompts.calls()[0].text.contains(QStringLiteral("http://127.0.0.1:%1/index.html").arg(port)))
        << prompts.calls()[0].text.toStdString();
    EXPECT_FALSE(window->previewServer()->allowsNetwork()) << "No leaves it on this computer only";

    prompts.clear();
    prompts.answerQuestion(true);
    window->Link_TelefonClick();
    EXPECT_TRUE(window->previewServer()->allowsNetwork());
    EXPECT_EQ(window->previewServer()->port(), port) << "the open page keeps its address";
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("Podgląd na telefonie"));
}

// The same two boxes as a person meets them: Qt's own, answered by keys
// (Escape is "Nie", Enter the default "Tak", then Enter on the note).
TEST_F(LivePreviewTest, ThePhoneLinksRealBoxesAnswerToTheirKeys)
{
    QTest::mouseClick(window->Przycisk_Podglad, Qt::LeftButton);
    const zk::testing::RealPrompts real;
    zk::testing::BoxKeys answer;
    answer.keys = {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Return};
    const QStringList &seen = answer.texts;
    window->Link_TelefonClick();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].contains(QStringLiteral("Pozwolić telefonom"))) << seen[0].toStdString();
    EXPECT_FALSE(window->previewServer()->allowsNetwork()) << "Escape is No";

    window->Link_TelefonClick();
    EXPECT_TRUE(window->previewServer()->allowsNetwork()) << "Enter is Tak";
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(answer.titles[2], QStringLiteral("Podgląd na telefonie"));
    EXPECT_TRUE(seen[2].contains(QStringLiteral(":%1/index.html").arg(window->previewServer()->port())));
}

} // namespace
