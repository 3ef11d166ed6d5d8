#include "Isolated.h"
#include "PublishRun.h"
#include "Script.h"
#include "Servers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace zk;
using namespace zk::testing;

namespace {

const QByteArray Dated = "<HTML><HEAD><META HTTP-EQUIV=\"Creation-date\" CONTENT=\"2026-12-09 10:00 GMT\"></HEAD>Piekarnia</HTML>";

QByteArray redated(const char *stamp)
{
    return QByteArray(Dated).replace("2026-12-09 10:00", stamp);
}

// One publication through the run the dialog and the command line share.
struct Published {
    bool ok = false;
    QStringList errors;
    QStringList questions;
    QStringList commands; // the client's commands, as sent
    PublishPlan plan;
    QString revision;
    int stored() const { return int(commands.filter(QStringLiteral("STOR ")).size()); }
    QStringList storedNames() const
    {
        QStringList names;
        for (const QString &c : commands)
            if (c.startsWith(QLatin1String("STOR ")))
                names << c.mid(5);
        return names;
    }
};

class IncrementalPublishTest : public Isolated {
protected:
    // The server's folder on this computer; the publication's files in `local`.
    QString root;
    QString local;
    std::unique_ptr<PyFtpServer> pyftpd;
    std::unique_ptr<VsFtpServer> vsftpd;
    QString knownRevision;
    bool agreeToDelete = true;

    bool tls = false;
    QString subfolder; // of the server's folder, where the publication goes

    void startServer(bool useVsftpd, const QString &vsftpdExtra = {}, const QString &certificate = {})
    {
        tls = !certificate.isEmpty();
        if (useVsftpd) {
            vsftpd = std::make_unique<VsFtpServer>(certificate, vsftpdExtra);
            root = vsftpd->uploadFolder();
        } else {
            root = folder(QStringLiteral("serwer"));
            pyftpd = std::make_unique<PyFtpServer>(root, QStringLiteral("jan"), QStringLiteral("tajne"));
        }
        local = folder(QStringLiteral("strona"));
        ASSERT_TRUE(useVsftpd ? vsftpd->isUp() : pyftpd->isUp());
    }
    PublishSettings settings() const
    {
        const bool anonymous = bool(vsftpd);
        PublishSettings s{QStringLiteral("127.0.0.1:%1").arg(anonymous ? vsftpd->port() : pyftpd->port()),
                          anonymous ? QStringLiteral("anonymous") : QStringLiteral("jan"),
                          anonymous ? QString() : QStringLiteral("tajne"),
                          (anonymous ? QStringLiteral("upload/") : QString()) + subfolder,
                          false,
                          tls ? FtpSecurity::ExplicitTls : FtpSecurity::Plain,
                          {},
                          knownRevision,
                          false};
        return s;
    }
    // `count` pictures "p0.gif"... of `size` bytes and more, their names.
    QStringList putPictures(int count, int size)
    {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QStringLiteral("p%1.gif").arg(i);
            put(names.last(), QByteArray(size + i, 'g'));
        }
        return names;
    }
    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString p = local + name;
        QDir().mkpath(QFileInfo(p).path());
        writeFile(p, bytes);
        return p;
    }
    int connections = 1;

    Published publish(const QStringList &names, bool everything = false)
    {
        Published out;
        T_FTP ftp;
        ftp.TimeoutMs = 5000;
        ftp.OnTrace = [&](const QString &line, TTraceLevel level) {
            if (level == tt_command)
                out.commands << line;
        };
        FtpPublishClient client(ftp);
        PublishRun run(client, {[&](const QString &text) { out.errors << text; },
                                [&](const QString &question) {
                                    out.questions << question;
                                    return true;
                                },
                                nullptr, nullptr, nullptr, nullptr,
                                [&](const QString &question) {
                                    out.questions << question;
                                    return agreeToDelete;
                                }});
        run.setClientMaker([&ftp] { return makeFtpClient(ftp); });
        QStringList files;
        QHash<QString, QString> remote;
        for (const QString &n : names) {
            files << local + n;
            remote.insert(local + n, n);
        }
        PublishSettings s = settings();
        s.everything = everything;
        s.connections = connections;
        out.ok = run.run(s, files, remote, path(QStringLiteral("brak.gif")));
        run.closeQuietly();
        out.plan = run.plan();
        out.revision = run.writtenRevision();
        if (out.ok)
            knownRevision = out.revision;
        return out;
    }
    // One run against the scripted server, the way the window's thread runs it.
    bool publishToScripted(const ScriptedServer &server, const QStringList &files, QStringList &errors)
    {
        T_FTP ftp;
        ftp.TimeoutMs = 3000;
        FtpPublishClient client(ftp);
        PublishRun run(client, {.error = [&](const QString &text) { errors << text; },
                                .confirm = [](const QString &) { return true; }});
        PublishSettings s{QStringLiteral("127.0.0.1:%1").arg(server.port()), QStringLiteral("jan"), QStringLiteral("tajne"), {},
                          false, FtpSecurity::Plain, {}, {}, false};
        const bool ok = run.run(s, files, {}, path(QStringLiteral("brak.gif")));
        run.closeQuietly();
        return ok;
    }
    QJsonObject manifestOnServer() const
    {
        return QJsonDocument::fromJson(readFile(root + ManifestName)).object();
    }
    QStringList onServer(const QString &sub = {}) const
    {
        return QDir(root + sub).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

// A record on the server is the server's word: a path that would lead out
// of the folder, or could not be sent, makes the whole record untrusted.
TEST(PublishRecord, ReadsItsOwnAndDistrustsWhatCouldLeadElsewhere)
{
    Manifest m;
    m.revision = QStringLiteral("r1");
    m.target = QStringLiteral("/www");
    m.files.insert(QStringLiteral("img/a.gif"), ManifestFile{3, QString(64, u'a'), QString(64, u'b')});
    m.folders << QStringLiteral("img");
    const ManifestRead back = readManifest(manifestJson(m), QStringLiteral("/www"));
    ASSERT_EQ(back.state, ManifestState::Valid);
    EXPECT_EQ(back.manifest.files.value(QStringLiteral("img/a.gif")).comparable, QString(64, u'b'));
    EXPECT_EQ(readManifest(manifestJson(m), QStringLiteral("/inny")).state, ManifestState::OtherTarget);
    for (const char *path : {"../x.gif", "/etc/passwd", "a//b", "img/./a", "a\\b", "a\nDELE x"}) {
        Manifest bad = m;
        bad.files.insert(QString::fromLatin1(path), ManifestFile{1, QString(64, u'c'), QString(64, u'c')});
        EXPECT_EQ(readManifest(manifestJson(bad), QStringLiteral("/www")).state, ManifestState::Damaged) << path;
    }
    Manifest badFolder = m;
    badFolder.folders << QStringLiteral("..");
    EXPECT_EQ(readManifest(manifestJson(badFolder), QStringLiteral("/www")).state, ManifestState::Damaged);
    EXPECT_EQ(readManifest("[]", {}).state, ManifestState::Damaged);
}

class PublishRecordFiles : public Isolated {};

TEST_F(PublishRecordFiles, APageBuiltAgainDiffersOnlyInTheBytesThatDoNotCount)
{
    const QString a = path(QStringLiteral("a.html")), b = path(QStringLiteral("b.html")), c = path(QStringLiteral("c.html"));
    writeFile(a, Dated);
    writeFile(b, redated("2027-01-01 08:00"));
    writeFile(c, QByteArray(Dated).replace("Piekarnia", "Cukiernia"));
    const LocalFile da = describeLocalFile(a, QStringLiteral("index.html"));
    const LocalFile db = describeLocalFile(b, QStringLiteral("index.html"));
    EXPECT_NE(da.record.sha256, db.record.sha256);
    EXPECT_EQ(da.record.comparable, db.record.comparable);
    EXPECT_NE(describeLocalFile(c, QStringLiteral("index.html")).record.comparable, da.record.comparable);
    // A picture that happens to hold such a line is compared whole.
    EXPECT_NE(describeLocalFile(a, QStringLiteral("a.gif")).record.comparable,
              describeLocalFile(b, QStringLiteral("b.gif")).record.comparable);
    // A file without a date, over several reads: both digests are those of all its bytes.
    QByteArray photo;
    for (int i = 0; photo.size() < 200000; ++i)
        photo += QByteArray::number(i * 7919);
    const QString p = path(QStringLiteral("duze.jpg"));
    writeFile(p, photo);
    const ManifestFile record = describeLocalFile(p, QStringLiteral("img/duze.jpg")).record;
    EXPECT_EQ(record.size, photo.size());
    EXPECT_EQ(record.sha256, QString::fromLatin1(QCryptographicHash::hash(photo, QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(record.comparable, record.sha256);
}

// Both kinds of listing: pyftpdlib offers MLSD, vsftpd only LIST.
class EveryServer : public IncrementalPublishTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EveryServer, OnlyWhatChangedGoesAndWhatWasNeverOursStays)
{
    startServer(GetParam());
    put(QStringLiteral("index.html"), Dated);
    put(QStringLiteral("img/zdjecie.jpg"), QByteArray(5000, 'a'));
    put(QStringLiteral("img/stare.gif"), QByteArray(300, 'g'));
    writeFile(root + QStringLiteral("cudzy.txt"), "nie nasz");
    const QStringList all = {QStringLiteral("index.html"), QStringLiteral("img/zdjecie.jpg"), QStringLiteral("img/stare.gif")};

    const Published first = publish(all);
    ASSERT_TRUE(first.ok) << first.errors.join(u'\n').toStdString();
    EXPECT_EQ(first.storedNames().last(), PublishRun::temporaryNameFor(ManifestName)) << "the record last of all";
    EXPECT_EQ(first.storedNames().at(first.stored() - 2), PublishRun::temporaryNameFor(QStringLiteral("index.html")))
        << "the start page just before it";
    EXPECT_EQ(manifestOnServer().value(QStringLiteral("files")).toArray().size(), 3);
    EXPECT_EQ(manifestOnServer().value(QStringLiteral("folders")).toArray(), QJsonArray{QStringLiteral("img")});

    // Built again a minute later: only the page's date differs.
    put(QStringLiteral("index.html"), redated("2026-12-09 10:01"));
    const Published same = publish(all);
    ASSERT_TRUE(same.ok) << same.errors.join(u'\n').toStdString();
    EXPECT_EQ(same.storedNames(), QStringList{PublishRun::temporaryNameFor(ManifestName)}) << "nothing but the record";
    EXPECT_EQ(same.commands.filter(QStringLiteral("RETR")).size(), 1) << "one record read";
    EXPECT_FALSE(same.commands.contains(QStringLiteral("SIZE ") + ManifestName)) << "the record this computer wrote is not asked about";
    EXPECT_EQ(same.plan.bezZmian.size(), 3);
    EXPECT_EQ(same.plan.nieNasze, QStringList{QStringLiteral("cudzy.txt")});
    EXPECT_EQ(readFile(root + QStringLiteral("index.html")), Dated) << "the server keeps its copy";

    // One word changed; a photo changed at the same size; one deleted by hand on the server.
    put(QStringLiteral("index.html"), QByteArray(Dated).replace("Piekarnia", "Cukiernia"));
    put(QStringLiteral("img/zdjecie.jpg"), QByteArray(5000, 'b'));
    QFile::remove(root + QStringLiteral("img/stare.gif"));
    const Published changed = publish(all);
    ASSERT_TRUE(changed.ok);
    EXPECT_EQ(changed.plan.zmienione, (QStringList{QStringLiteral("img/zdjecie.jpg"), QStringLiteral("index.html")}));
    EXPECT_EQ(changed.plan.brakujace, QStringList{QStringLiteral("img/stare.gif")});
    EXPECT_EQ(changed.stored(), 4);
    EXPECT_EQ(readFile(root + QStringLiteral("img/zdjecie.jpg")), QByteArray(5000, 'b'));
    EXPECT_TRUE(QFile::exists(root + QStringLiteral("img/stare.gif"))) << "put back";

    // The pictures leave the page: deleted after the page arrived, their folder with them.
    const Published smaller = publish({QStringLiteral("index.html")});
    ASSERT_TRUE(smaller.ok) << smaller.errors.join(u'\n').toStdString();
    EXPECT_EQ(smaller.plan.doUsuniecia, (QStringList{QStringLiteral("img/stare.gif"), QStringLiteral("img/zdjecie.jpg")}));
    EXPECT_EQ(smaller.plan.foldersToRemove, QStringList{QStringLiteral("img")});
    EXPECT_EQ(smaller.questions.size(), 1) << "two of three of ours: asked first";
    EXPECT_EQ(onServer(), (QStringList{ManifestName, QStringLiteral("cudzy.txt"), QStringLiteral("index.html")}));
    EXPECT_EQ(readFile(root + QStringLiteral("cudzy.txt")), QByteArray("nie nasz"));
    const QJsonObject record = manifestOnServer();
    EXPECT_EQ(record.value(QStringLiteral("files")).toArray().size(), 1);
    EXPECT_TRUE(record.value(QStringLiteral("folders")).toArray().isEmpty());

    const Published everything = publish({QStringLiteral("index.html")}, true);
    EXPECT_EQ(everything.stored(), 2) << "\"Wyślij wszystko od nowa\" sends the page although it is the same";
}

// The record this computer wrote is read without asking whether it is
// there; if someone removed it since, the run compares sizes as without one.
TEST_P(EveryServer, ARecordRemovedSinceTheLastRunIsMissedSafely)
{
    startServer(GetParam());
    const QStringList all = {QStringLiteral("index.html"), QStringLiteral("img/a.gif")};
    put(all[0], Dated);
    put(all[1], QByteArray(700, 'a'));
    ASSERT_TRUE(publish(all).ok);
    ASSERT_FALSE(knownRevision.isEmpty());
    ASSERT_TRUE(QFile::remove(root + ManifestName));
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    EXPECT_TRUE(p.commands.contains(QStringLiteral("RETR ") + ManifestName));
    EXPECT_FALSE(p.commands.contains(QStringLiteral("SIZE ") + ManifestName));
    EXPECT_EQ(QSet<QString>(p.plan.bezZmian.begin(), p.plan.bezZmian.end()), QSet<QString>(all.begin(), all.end()))
        << "compared by size";
    EXPECT_TRUE(p.plan.doUsuniecia.isEmpty());
    EXPECT_EQ(p.storedNames(), QStringList{PublishRun::temporaryNameFor(ManifestName)});
    EXPECT_EQ(manifestOnServer().value(QStringLiteral("files")).toArray().size(), 2) << "a record again";
}

// With three connections the others list the folders while the first
// reads the record, and the record goes ahead beside the start page: the
// run must see the server exactly as one connection does.
TEST_P(EveryServer, SeveralConnectionsReadTheServerAsOneDoes)
{
    startServer(GetParam());
    QStringList all = {QStringLiteral("index.html")};
    put(all[0], Dated);
    for (int folder = 0; folder < 6; ++folder)
        for (int i = 0; i < 3; ++i) {
            all << QStringLiteral("f%1/p%2.gif").arg(folder).arg(i);
            put(all.last(), QByteArray(300 + i, char('a' + folder)));
        }
    connections = 3;
    ASSERT_TRUE(publish(all).ok);
    // By hand on the server: one gone, one changed at another size; here, one changed.
    ASSERT_TRUE(QFile::remove(root + QStringLiteral("f2/p1.gif")));
    writeFile(root + QStringLiteral("f4/p0.gif"), "obcy");
    put(QStringLiteral("f5/p2.gif"), QByteArray(302, 'z'));
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    EXPECT_EQ(p.plan.brakujace, QStringList{QStringLiteral("f2/p1.gif")});
    EXPECT_EQ(p.plan.zmienione, (QStringList{QStringLiteral("f4/p0.gif"), QStringLiteral("f5/p2.gif")}));
    EXPECT_EQ(p.plan.bezZmian.size(), all.size() - 3);
    for (const QString &name : all)
        EXPECT_EQ(readFile(root + name), readFile(local + name)) << name.toStdString();
    const QJsonObject record = manifestOnServer();
    EXPECT_EQ(record.value(QStringLiteral("revision")).toString(), p.revision);
    EXPECT_EQ(record.value(QStringLiteral("files")).toArray().size(), all.size());
    EXPECT_FALSE(QFile::exists(root + PublishRun::temporaryNameFor(ManifestName)));
    EXPECT_EQ(p.commands.filter(QStringLiteral("RNTO ")).last(), QStringLiteral("RNTO ") + ManifestName) << "the record last";
}

// A record that cannot be written is a failed run however it was sent.
TEST_P(EveryServer, ARecordThatCannotGoAheadIsNotReportedAsWritten)
{
    startServer(GetParam());
    const QStringList all = {QStringLiteral("index.html"), QStringLiteral("a.gif"), QStringLiteral("b.gif")};
    put(all[0], Dated);
    put(all[1], QByteArray(100, 'a'));
    put(all[2], QByteArray(200, 'b'));
    ASSERT_TRUE(QDir().mkpath(root + PublishRun::temporaryNameFor(ManifestName))); // its temporary name is taken
    connections = 2;
    const Published p = publish(all);
    EXPECT_FALSE(p.ok);
    ASSERT_EQ(p.errors.size(), 1);
    EXPECT_TRUE(p.errors[0].contains(QStringLiteral("spisu wysłanych plików")))
        << p.errors[0].toStdString() << "\n" << p.commands.join(u'|').toStdString();
    EXPECT_FALSE(QFile::exists(root + ManifestName));
    EXPECT_TRUE(p.revision.isEmpty());
    for (const QString &name : all)
        EXPECT_EQ(readFile(root + name), readFile(local + name)) << "the files themselves arrived";
}

// Three connections send the files at once; the tree is the one a single
// connection makes, and the start page arrives after everything else.
TEST_P(EveryServer, SeveralConnectionsSendTheSameTreeAndTheStartPageLast)
{
    startServer(GetParam());
    QStringList all;
    for (int i = 0; i < 30; ++i) {
        all << QStringLiteral("img/zdjęcie %1.jpg").arg(i);
        put(all.last(), QByteArray(20000 + i, char('a' + i % 26)));
    }
    all << QStringLiteral("o nas.html") << QStringLiteral("index.html");
    put(all[30], Dated);
    put(all[31], QByteArray(Dated).replace("Piekarnia", "Start"));
    connections = 3;
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    EXPECT_LT(p.stored(), 32) << "the other connections carried some of the files";
    QDateTime latest;
    for (const QString &name : all) {
        EXPECT_EQ(readFile(root + name), readFile(local + name)) << name.toStdString();
        if (name != QLatin1String("index.html"))
            latest = std::max(latest, QFileInfo(root + name).lastModified());
    }
    EXPECT_GE(QFileInfo(root + QStringLiteral("index.html")).lastModified(), latest) << "the start page last";
    EXPECT_EQ(onServer(QStringLiteral("img")).size(), 30) << "no piece left under a temporary name";
    EXPECT_EQ(manifestOnServer().value(QStringLiteral("files")).toArray().size(), 32);
}

// A first publication into a folder the server lists: the small pictures
// it does not hold go up under their own names; a large one (so that it can
// be resumed), one already there and the pages go under a temporary name
// and take their place whole. (Several connections: the test above.)
TEST_P(EveryServer, NewSmallFilesGoUpUnderTheirOwnNamesAndTheRestIsPutInPlace)
{
    startServer(GetParam());
    QStringList all;
    for (int i = 0; i < 12; ++i) {
        all << QStringLiteral("img/p%1.gif").arg(i);
        put(all.last(), QByteArray(3000 + i, char('a' + i)));
    }
    all << QStringLiteral("img/duze.jpg") << QStringLiteral("img/bylo.gif") << QStringLiteral("o nas.html") << QStringLiteral("index.html");
    put(all[12], QByteArray(300 * 1024, 'd'));
    put(all[13], QByteArray(777, 'n'));
    put(all[14], Dated);
    put(all[15], QByteArray(Dated).replace("Piekarnia", "Start"));
    QDir().mkpath(root + QStringLiteral("img"));
    writeFile(root + QStringLiteral("img/bylo.gif"), QByteArray(500, 'o')); // someone's old copy: replaced whole

    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    QStringList expected = all.mid(0, 12);
    for (const QString &whole : {all[12], all[13], all[14], all[15], ManifestName})
        expected << PublishRun::temporaryNameFor(whole);
    EXPECT_EQ(p.storedNames(), expected);
    EXPECT_EQ(p.commands.filter(QStringLiteral("RNFR ")).size(), 5) << "each file under a temporary name takes its own";
    for (const QString &name : std::as_const(all))
        EXPECT_EQ(readFile(root + name), readFile(local + name)) << name.toStdString();
    EXPECT_EQ(onServer(QStringLiteral("img")).size(), 14) << "nothing left under a temporary name";

    // With the record there: a new small picture directly, a new large one whole.
    const QStringList more = {QStringLiteral("img/nowy.gif"), QStringLiteral("img/duzy2.jpg")};
    put(more[0], QByteArray(100, 'x'));
    put(more[1], QByteArray(260 * 1024, 'y'));
    const Published second = publish(all + more);
    ASSERT_TRUE(second.ok) << second.errors.join(u'\n').toStdString();
    EXPECT_EQ(second.storedNames(),
              (QStringList{more[0], PublishRun::temporaryNameFor(more[1]), PublishRun::temporaryNameFor(ManifestName)}));
    EXPECT_EQ(readFile(root + more[0]), readFile(local + more[0]));
    EXPECT_EQ(readFile(root + more[1]), readFile(local + more[1]));
}

// A folder the run has just made holds nothing: the server is not asked
// what is in it, and every small picture goes up under its own name.
TEST_P(EveryServer, AFolderMadeForThePublicationIsNotAskedAbout)
{
    startServer(GetParam());
    subfolder = QStringLiteral("nowa");
    const QStringList all = {QStringLiteral("img/a.gif"), QStringLiteral("img/b.gif"), QStringLiteral("index.html")};
    put(all[0], QByteArray(100, 'a'));
    put(all[1], QByteArray(200, 'b'));
    put(all[2], Dated);
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    ASSERT_EQ(p.questions.size(), 1) << "whether to make the folder";
    const QStringList beforeSending = p.commands.mid(0, p.commands.indexOf(QRegularExpression(QStringLiteral("STOR .*"))));
    for (const char *asking : {"SIZE", "RETR", "LIST", "MLSD", "NLST"})
        EXPECT_TRUE(beforeSending.filter(QRegularExpression(QStringLiteral("^%1 ").arg(QLatin1String(asking)))).isEmpty())
            << asking << " before the first upload: " << beforeSending.join(u'|').toStdString();
    EXPECT_EQ(p.storedNames(), (QStringList{all[0], all[1], PublishRun::temporaryNameFor(all[2]), PublishRun::temporaryNameFor(ManifestName)}));
    for (const QString &name : all)
        EXPECT_EQ(readFile(root + QStringLiteral("nowa/") + name), readFile(local + name)) << name.toStdString();

    const Published again = publish(all); // the folder is there now, with the record
    ASSERT_TRUE(again.ok) << again.errors.join(u'\n').toStdString();
    EXPECT_EQ(again.storedNames(), QStringList{PublishRun::temporaryNameFor(ManifestName)}) << "nothing changed, nothing sent";
}

// A small hosting plan allows two sessions: the others are refused (421)
// and the run goes on with those it has, without a word.
TEST_F(IncrementalPublishTest, AServerThatAllowsFewerConnectionsIsUsedWithThose)
{
    startServer(true, QStringLiteral("max_per_ip=2\n"));
    const QStringList all = putPictures(6, 100);
    connections = 4;
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    EXPECT_TRUE(p.errors.isEmpty());
    EXPECT_GE(p.stored(), 1) << "a share of the files on the first connection";
    EXPECT_EQ(p.commands.filter(QStringLiteral("RNTO ")).last(), QStringLiteral("RNTO ") + ManifestName)
        << "the record put in place by the first, last of all";
    for (const QString &name : all)
        EXPECT_EQ(readFile(root + name), readFile(local + name));
}

// Over TLS each connection has its own session, and its data connections
// take up that session, as vsftpd insists.
TEST_F(IncrementalPublishTest, SeveralConnectionsOverTls)
{
    const QString certificates = testCertificates();
    ASSERT_FALSE(certificates.isEmpty());
    startServer(true, {}, certificates + QStringLiteral("good.pem"));
    const QStringList all = putPictures(12, 50000);
    connections = 3;
    const Published p = publish(all);
    ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
    EXPECT_LT(p.stored(), 13) << "the other connections carried some";
    for (const QString &name : all)
        EXPECT_EQ(readFile(root + name), readFile(local + name));
}

INSTANTIATE_TEST_SUITE_P(Servers, EveryServer, ::testing::Values(false, true),
                         [](const auto &info) { return std::string(info.param ? "vsftpd" : "pyftpdlib"); });

TEST_F(IncrementalPublishTest, ARecordThatCannotBeTrustedIsKeptAsideAndNothingIsDeleted)
{
    startServer(false);
    put(QStringLiteral("index.html"), Dated);
    writeFile(root + QStringLiteral("index.html"), Dated); // the same size already there
    writeFile(root + QStringLiteral("stary.gif"), "dawny");
    const std::pair<const char *, QByteArray> records[] = {
        {"damaged", "{\"format\": \"zentarek-manifest\", \"ver"},
        {"another format", "{\"format\": \"cos-innego\", \"version\": 7}"},
        {"another folder", "{\"format\":\"zentarek-manifest\",\"version\":1,\"revision\":\"r\",\"target\":\"/gdzie/indziej\","
                           "\"files\":[{\"path\":\"stary.gif\",\"size\":5,\"sha256\":\""
                               + QByteArray(64, '0') + "\"}],\"folders\":[]}"}};
    for (const auto &[what, bytes] : records) {
        SCOPED_TRACE(what);
        writeFile(root + ManifestName, bytes);
        const Published p = publish({QStringLiteral("index.html")});
        ASSERT_TRUE(p.ok) << p.errors.join(u'\n').toStdString();
        EXPECT_EQ(p.plan.bezZmian, QStringList{QStringLiteral("index.html")}) << "adopted: compared by size";
        EXPECT_TRUE(p.plan.doUsuniecia.isEmpty());
        EXPECT_TRUE(QFile::exists(root + QStringLiteral("stary.gif")));
        EXPECT_EQ(readFile(root + BadManifestName), bytes);
        ASSERT_EQ(p.plan.notes.size(), 1);
        EXPECT_TRUE(p.plan.notes[0].contains(BadManifestName));
        EXPECT_EQ(manifestOnServer().value(QStringLiteral("format")).toString(), ManifestFormat) << "a good record now";
    }
    // Published from elsewhere: the server's record is trusted and said once.
    knownRevision = QStringLiteral("inna-rewizja");
    put(QStringLiteral("index.html"), QByteArray(Dated).replace("Piekarnia", "Cukiernia"));
    const Published elsewhere = publish({QStringLiteral("index.html")});
    ASSERT_TRUE(elsewhere.ok);
    ASSERT_EQ(elsewhere.plan.notes.size(), 1);
    EXPECT_TRUE(elsewhere.plan.notes[0].contains(QStringLiteral("z innego komputera")));
    EXPECT_EQ(elsewhere.plan.zmienione, QStringList{QStringLiteral("index.html")});
    EXPECT_TRUE(publish({QStringLiteral("index.html")}).plan.notes.isEmpty()) << "once";
}

TEST_F(IncrementalPublishTest, ManyDeletionsWaitForAYesAndStayRecordedOtherwise)
{
    startServer(false);
    const QStringList all = QStringList{QStringLiteral("index.html")} + putPictures(25, 10);
    put(QStringLiteral("index.html"), Dated);
    ASSERT_TRUE(publish(all).ok);
    agreeToDelete = false;
    const Published declined = publish({QStringLiteral("index.html")});
    ASSERT_TRUE(declined.ok);
    EXPECT_EQ(declined.questions.size(), 1);
    EXPECT_TRUE(declined.questions[0].contains(QStringLiteral("usuniętych 25 plików")));
    EXPECT_EQ(onServer().size(), 27) << "nothing deleted";
    agreeToDelete = true;
    const Published agreed = publish({QStringLiteral("index.html")});
    EXPECT_EQ(agreed.plan.doUsuniecia.size(), 25) << "still ours, so deleted once agreed";
    EXPECT_EQ(onServer(), (QStringList{ManifestName, QStringLiteral("index.html")}));
}

// A run that stops half-way leaves the old record true; the next one sends
// only what the first had not placed.
TEST_F(IncrementalPublishTest, AnInterruptedRunLeavesTheOldRecordAndTheNextSendsOnlyWhatIsLeft)
{
    startServer(false);
    const QStringList all = {QStringLiteral("a.gif"), QStringLiteral("b.gif"), QStringLiteral("index.html")};
    put(QStringLiteral("a.gif"), QByteArray(100, 'a'));
    put(QStringLiteral("b.gif"), QByteArray(100, 'b'));
    put(QStringLiteral("index.html"), Dated);
    ASSERT_TRUE(publish(all).ok);
    const QByteArray record = readFile(root + ManifestName);

    put(QStringLiteral("a.gif"), QByteArray(100, 'A'));
    put(QStringLiteral("b.gif"), QByteArray(100, 'B'));
    {
        // b.gif goes away while a.gif is already on the server: the run fails there.
        T_FTP ftp;
        ftp.TimeoutMs = 5000;
        FtpPublishClient client(ftp);
        QStringList errors;
        PublishRun run(client, {[&](const QString &text) { errors << text; }, [](const QString &) { return true; },
                                [&](const QString &path) {
                                    if (path.endsWith(QLatin1String("b.gif")))
                                        QFile::rename(path, path + QStringLiteral(".schowany"));
                                },
                                nullptr, nullptr, nullptr, nullptr});
        PublishSettings s = settings();
        QStringList files;
        for (const QString &n : all)
            files << local + n;
        EXPECT_FALSE(run.run(s, files, {}, path(QStringLiteral("brak.gif"))));
        run.closeQuietly();
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(QStringLiteral("Na serwer trafiły już nowe wersje plików: a.gif"))) << errors[0].toStdString();
    }
    EXPECT_EQ(readFile(root + ManifestName), record) << "the old record stands";
    EXPECT_EQ(readFile(root + QStringLiteral("a.gif")), QByteArray(100, 'A'));
    QFile::rename(local + QStringLiteral("b.gif.schowany"), local + QStringLiteral("b.gif"));
    const Published next = publish(all);
    ASSERT_TRUE(next.ok) << next.errors.join(u'\n').toStdString();
    EXPECT_EQ(next.plan.zmienione, QStringList{QStringLiteral("b.gif")}) << "a.gif arrived in the broken run";
    EXPECT_EQ(next.storedNames(), (QStringList{PublishRun::temporaryNameFor(QStringLiteral("b.gif")),
                                               PublishRun::temporaryNameFor(ManifestName)}));
    EXPECT_EQ(readFile(root + QStringLiteral("b.gif")), QByteArray(100, 'B'));
}

// The scripted server for what real ones do not do on request.
TEST_F(IncrementalPublishTest, ARefusedRecordIsAFailedPublication)
{
    const QString page = path(QStringLiteral("index.html"));
    writeFile(page, Dated);
    ScriptedServer server(script(login(), {expect(), send("250 ok\r\n"), expect(), pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"),
                                           expect(), send("150 go\r\n"), act("data_recv"), send("226 done\r\n"), expect(),
                                           pasv("227 ok (127,0,0,1,{p1},{p2})\r\n"), expect(), send("550 Permission denied.\r\n"),
                                           quitCommand(), bye()}));
    QStringList errors;
    EXPECT_FALSE(publishToScripted(server, {page}, errors));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Nie można zapisać na serwerze \"127.0.0.1:%1\" spisu wysłanych plików")
                                         .arg(server.port())))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("550 Permission denied"))) << errors[0].toStdString();
}

// Cut after 300 kB of a large file: a fresh login, REST, and only the rest goes.
TEST_F(IncrementalPublishTest, ALargeFileCutShortContinuesWhereItStopped)
{
    const QString big = path(QStringLiteral("film.wav"));
    writeFile(big, QByteArray(800000, 'w'));
    const auto until = [](qint64 rest) {
        QList<QJsonArray> s = {send("220 ready\r\n"), expect(), send("331 password\r\n"), expect(), send("230 in\r\n"), expect()};
        s << QJsonArray{QStringLiteral("feat"), QStringLiteral("211-Features:\r\n SIZE\r\n REST STREAM\r\n211 End\r\n")};
        s << expect() << send("200 binary\r\n") << expect() << send("250 ok\r\n") // TYPE I, CWD .
          << expect() << pasv("227 ok (127,0,0,1,{p1},{p2})\r\n");
        if (rest > 0)
            s << expect() << send("350 Restarting.\r\n");
        s << expect() << send("150 go\r\n");
        return s;
    };
    QList<QJsonArray> s = until(0);
    s << QJsonArray{QStringLiteral("data_recv_part"), 300000} << act("reaccept");
    s += until(300000);
    s << act("data_recv") << send("226 done\r\n");
    s += recordUpload();
    ScriptedServer server(script(s, {quitCommand(), bye()}));
    QStringList errors;
    EXPECT_TRUE(publishToScripted(server, {big}, errors)) << errors.join(u'\n').toStdString();
    const QStringList t = server.transcript();
    EXPECT_TRUE(t.contains(QStringLiteral("REST 300000"))) << t.join(u'|').toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("DATA 500000"))) << "only the rest went the second time";
    EXPECT_EQ(t.count(QStringLiteral("USER jan")), 2);
}

} // namespace
