#include "Isolated.h"
#include "ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace zk;
using zk::testing::Isolated;

namespace {

// Every field away from its default, with Polish letters and awkward text.
Project everyFieldSet(const QString &folder)
{
    Project p;
    PageDescription &d = p.page;
    d.Check_Atrybuty_Naglowki = false;
    d.Check_Atrybuty_Odnosniki = false;
    d.Check_Atrybuty_Adresy = false;
    d.Lista_Atrybuty_DocType = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\">");
    d.PopUp_Atrybuty_Tlo_Kolor = false;
    d.Panel_Podglad_Naglowki = QColor(0x12, 0x34, 0x56);
    d.BackgroundImagePath = folder + QStringLiteral("obrazki/tło.gif");
    d.PageEncoding = QStringLiteral("CP-1250");
    d.Przycisk_Atrybuty_Kolor_Tekst = QColor(1, 2, 3);
    d.Przycisk_Atrybuty_Kolor_Odnosniki = QColor(4, 5, 6);
    d.Przycisk_Atrybuty_Kolor_Aktywne = QColor(7, 8, 9);
    d.Przycisk_Atrybuty_Kolor_Odwiedzone = QColor(10, 11, 12);
    d.Check_Play = true;
    d.Edit_Src = QStringLiteral("/usr/share/sounds/dzwonek.wav"); // outside the folder: kept whole
    d.Check_Infinite = false;
    d.Spin_Powtorz = 7;
    d.Lista_Atrybuty_Slowa_Kluczowe = {QStringLiteral("żółw"), QString(), QStringLiteral("\"cudzysłów\"")};
    d.Edit_Atrybuty_Dokument_Bazowy = QStringLiteral("http://www.example.pl/");
    d.Edit_Atrybuty_Tytul = QStringLiteral("Zażółć gęślą jaźń");
    d.Edit_Nazwa = QStringLiteral("strona.html");
    d.Lista_Wyglad = QStringLiteral("ciemny");
    d.Edit_Opis_Strony = QStringLiteral("Piekarnia \"Kłos\": chleb na zakwasie");
    d.Edit_Adres_Strony = QStringLiteral("https://klos.example.pl/");
    d.Edit_Uklad_Glowny_Naglowek = QString(5000, u'ą');
    d.headerAlignment = Alignment::Center;
    d.Przycisk_Uklad_Naglowek_Kolor = QColor(13, 14, 15);
    d.Edit_Uklad_Podtytul = QString();
    d.subtitleAlignment = Alignment::Right;
    d.Przycisk_Uklad_Podtytul_Kolor = QColor(16, 17, 18);
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = folder + QStringLiteral("logo.jpg");
    d.Check_Uklad_Naglowek_Kreska = false;
    for (int i = 0; i < 1000; ++i)
        d.Grid_Uklad_Odnosniki.append({QStringLiteral("Odnośnik %1").arg(i), QStringLiteral("http://x.pl/%1").arg(i)});
    d.Edit_Uklad_Naglowek_Odnosniki = QStringLiteral("Moje <ulubione>");
    d.linksHeadingAlignment = Alignment::Right;
    d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor = QColor(19, 20, 21);
    d.Check_Uklad_Odnosniki_Ikona = true;
    d.Edit_Uklad_Odnosniki_Ikonka = QStringLiteral("ikony/strzalka.gif"); // relative as typed
    d.Lista_Uklad_Adresy = {QStringLiteral("jan@kowalski.pl"), QStringLiteral("biuro@firma.pl")};
    d.Check_Uklad_Adresy_Ikona = true;
    d.Edit_Uklad_Adresy_Ikona = QStringLiteral("http://www.example.pl/koperta.gif");
    QString text = QStringLiteral("<P>Pierwszy wiersz\r\n\tz tabulatorem i \\ ukośnikiem \u2028 i emoji \U0001F600\n\n")
        + QChar(0x01) + QChar(0x1F) + QStringLiteral("\b\f\"cudzysłów\"/\n");
    while (text.size() < 5 * 1024 * 1024)
        text += QStringLiteral("Zażółć gęślą jaźń <B>pogrubione</B> <IMG SRC=\"obrazki/kot.gif\">\n");
    p.mainText = text;
    p.wordWrap = true;
    p.profile = {QStringLiteral("ftp.example.pl"), QStringLiteral("użytkownik"), QStringLiteral("www/żółw"), true};
    return p;
}

class ProjectFileTest : public Isolated {
protected:
    QString projectFolder() const { return path(QStringLiteral("Moja strona/")); }
    QString projectPath() const { return projectFolder() + QStringLiteral("strona.zentarek"); }
    void write(const QByteArray &bytes) { writeFile(projectPath(), bytes); }
    QJsonObject storedJson() const { return QJsonDocument::fromJson(zk::testing::readFile(projectPath())).object(); }
};

TEST_F(ProjectFileTest, EveryFieldSurvivesARoundTripThroughTheFile)
{
    QDir().mkpath(projectFolder());
    const Project written = everyFieldSet(projectFolder());
    ASSERT_EQ(writeProjectFile(written, projectPath()), std::nullopt);

    const ProjectRead read = readProjectFile(projectPath());
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_EQ(read.project->page, written.page);
    EXPECT_TRUE(read.project->mainText == written.mainText) << "the main text exactly as typed";
    EXPECT_EQ(read.project->wordWrap, true);
    EXPECT_EQ(read.project->profile, written.profile);

    const QJsonObject json = storedJson();
    EXPECT_EQ(json.value(QStringLiteral("format")).toString(), QStringLiteral("zentarek-projekt"));
    EXPECT_EQ(json.value(QStringLiteral("wersja")).toInt(), 1);
    const QJsonObject page = json.value(QStringLiteral("strona")).toObject();
    EXPECT_EQ(page.value(QStringLiteral("logo")).toObject().value(QStringLiteral("plik")).toObject(),
              (QJsonObject{{QStringLiteral("wProjekcie"), QStringLiteral("logo.jpg")}}))
        << "a file inside the project's folder is kept relative to it";
    EXPECT_EQ(page.value(QStringLiteral("dzwiek")).toObject().value(QStringLiteral("plik")).toString(),
              QStringLiteral("/usr/share/sounds/dzwonek.wav"));
    EXPECT_FALSE(zk::testing::readFile(projectPath()).contains("haslo")) << "no password ever";
}

// A large main text is read beside Qt's reader, not by it: whatever the
// file holds, the text and the verdict are Qt's.
TEST_F(ProjectFileTest, ALargeMainTextReadsAsQtReadsIt)
{
    QString big = QChar(0xFEFF) + QStringLiteral("<P>\r\n\t\\ \"cudzysłów\" a/b \U0001F600 \u2028 Zażółć\n");
    while (big.size() < 100000)
        big += QStringLiteral("Gęślą jaźń <A HREF=\"x.html\">\\</A>\n");
    Project p;
    p.mainText = big;
    const QByteArray plain = projectToJson(p, projectFolder());
    const QString truth = QJsonDocument::fromJson(plain).object().value(QStringLiteral("strona")).toObject()
                              .value(QStringLiteral("tekst")).toString();
    ASSERT_EQ(truth, big);
    const qsizetype text = plain.indexOf("\n        \"tekst\": \"") + 19; // the page's, not the colour of its text
    ASSERT_EQ(plain.mid(text - 10, 10), QByteArray("\"tekst\": \""));
    QByteArray escapes = plain;
    escapes.insert(text, "\\u0105\\ud83d\\ude00");
    QByteArray twice = plain;
    twice.insert(text - 10, "\"tekst\": \"pierwszy\",\n        ");
    // Bytes that are not strict UTF-8, and a raw control character: each
    // where the text begins, in its middle (where the reader takes eight
    // bytes at a step) and just before its closing quote.
    const QByteArray unfit[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "\xFF", "\x01", "\\x"};
    QList<QByteArray> cases{plain, escapes, twice, plain.left(text + 50000), plain.left(text - 1) + "12345,\n" + plain.mid(plain.indexOf('\n', text) + 1)};
    const qsizetype closing = plain.indexOf("\",\n", text);
    for (const QByteArray &bytes : unfit)
        for (const qsizetype at : {text, text + 40001, closing})
            cases << QByteArray(plain).insert(at, bytes);
    for (int k = 0; k < 16; ++k) // at every place of a sixteen-byte step
        cases << QByteArray(plain).insert(text + 40000 + k, unfit[k % std::size(unfit)]);
    QByteArray fourBytes = plain; // a whole character of four bytes, at the end of an eight-byte step
    fourBytes.insert(text + 8 * 5003 + 4, "\xF0\x9F\x8D\xB0");
    cases << fourBytes;
    for (const QByteArray &json : std::as_const(cases)) {
        SCOPED_TRACE(&json - cases.constData());
        QJsonParseError error;
        const QJsonDocument qt = QJsonDocument::fromJson(json, &error);
        const ProjectRead read = projectFromJson(json, projectFolder());
        if (error.error != QJsonParseError::NoError) {
            EXPECT_FALSE(read.project);
            EXPECT_TRUE(read.error.startsWith(QStringLiteral("plik jest niepełny"))
                        || read.error.contains(QStringLiteral("w bajcie %1").arg(error.offset)))
                << read.error.toStdString();
            continue;
        }
        const QJsonValue value = qt.object().value(QStringLiteral("strona")).toObject().value(QStringLiteral("tekst"));
        if (!value.isString()) {
            EXPECT_FALSE(read.project) << "a main text that is no text";
            continue;
        }
        ASSERT_TRUE(read.project) << read.error.toStdString();
        EXPECT_TRUE(read.project->mainText == value.toString()) << read.project->mainText.left(40).toStdString();
    }
}

TEST_F(ProjectFileTest, AMovedProjectFolderOpensWithItsPicturesAtTheirNewPlace)
{
    QDir().mkpath(projectFolder() + QStringLiteral("obrazki"));
    ASSERT_EQ(writeProjectFile(everyFieldSet(projectFolder()), projectPath()), std::nullopt);
    ASSERT_TRUE(QDir().rename(projectFolder(), path(QStringLiteral("gdzie indziej"))));

    const ProjectRead read = readProjectFile(path(QStringLiteral("gdzie indziej/strona.zentarek")));
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_EQ(read.project->page.BackgroundImagePath, path(QStringLiteral("gdzie indziej/obrazki/tło.gif")));
    EXPECT_EQ(read.project->page.Edit_Uklad_Logo, path(QStringLiteral("gdzie indziej/logo.jpg")));
    EXPECT_EQ(read.project->page.Edit_Uklad_Odnosniki_Ikonka, QStringLiteral("ikony/strzalka.gif")) << "typed relative: as typed";
}

TEST_F(ProjectFileTest, KeysOfALaterVersionSurviveOpeningAndSavingAgain)
{
    write(R"({"format": "zentarek-projekt", "wersja": 1, "przyszlosc": {"a": [1, 2]},
              "strona": {"tytul": "Stary", "nowePole": "zostaje", "naglowek": {"tekst": "N", "cien": true}}})");
    ProjectRead read = readProjectFile(projectPath());
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_EQ(read.project->page.Edit_Atrybuty_Tytul, QStringLiteral("Stary"));
    read.project->page.Edit_Atrybuty_Tytul = QStringLiteral("Nowy");
    ASSERT_EQ(writeProjectFile(*read.project, projectPath()), std::nullopt);

    const QJsonObject json = storedJson();
    EXPECT_EQ(json.value(QStringLiteral("przyszlosc")).toObject().value(QStringLiteral("a")).toArray().size(), 2);

    // UTF-8 is kept like the two 8-bit sets.
    Project utf8;
    utf8.page.PageEncoding = QStringLiteral("UTF-8");
    const ProjectRead utf8Back = projectFromJson(projectToJson(utf8, {}), {});
    ASSERT_TRUE(utf8Back.project) << utf8Back.error.toStdString();
    EXPECT_EQ(utf8Back.project->page.PageEncoding, QStringLiteral("UTF-8"));

    // Whatever a field holds, the main text stays in its own place.
    Project odd;
    odd.page.Edit_Atrybuty_Tytul = QStringLiteral("@@zentarek-tekst-4d1c9b@@");
    odd.mainText = QStringLiteral("tekst \"główny\"");
    const ProjectRead back = projectFromJson(projectToJson(odd, {}), {});
    ASSERT_TRUE(back.project) << back.error.toStdString();
    EXPECT_EQ(back.project->page.Edit_Atrybuty_Tytul, odd.page.Edit_Atrybuty_Tytul);
    EXPECT_EQ(back.project->mainText, odd.mainText);
    const QJsonObject page = json.value(QStringLiteral("strona")).toObject();
    EXPECT_EQ(page.value(QStringLiteral("tytul")).toString(), QStringLiteral("Nowy"));
    EXPECT_EQ(page.value(QStringLiteral("nowePole")).toString(), QStringLiteral("zostaje"));
    EXPECT_TRUE(page.value(QStringLiteral("naglowek")).toObject().value(QStringLiteral("cien")).toBool());
}

// A project of the first version, as it was written then: it must keep
// opening, with the same values, in every later version.
TEST_F(ProjectFileTest, TheGoldenFirstVersionFileStillOpens)
{
    const QString golden = QStringLiteral(ZK_SOURCE_DIR "/tests/project/golden-v1.zentarek");
    const ProjectRead read = readProjectFile(golden);
    ASSERT_TRUE(read.project) << read.error.toStdString();
    const PageDescription &d = read.project->page;
    EXPECT_FALSE(d.Check_Atrybuty_Adresy);
    EXPECT_EQ(d.Lista_Atrybuty_DocType, QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">"));
    EXPECT_FALSE(d.PopUp_Atrybuty_Tlo_Kolor);
    EXPECT_EQ(d.BackgroundImagePath, QFileInfo(golden).absolutePath() + QStringLiteral("/obrazki/tlo.gif"));
    EXPECT_EQ(d.PageEncoding, QStringLiteral("CP-1250"));
    EXPECT_EQ(d.Przycisk_Atrybuty_Kolor_Odnosniki, QColor(0x00, 0x80, 0x00));
    EXPECT_TRUE(d.Check_Play);
    EXPECT_EQ(d.Spin_Powtorz, 3);
    EXPECT_EQ(d.Edit_Atrybuty_Tytul, QStringLiteral("Jan Kowalski - Strona Domowa - Firmowa"));
    EXPECT_EQ(d.headerAlignment, Alignment::Center);
    EXPECT_EQ(d.Grid_Uklad_Odnosniki, (QList<LinkRow>{{QStringLiteral("Onet"), QStringLiteral("http://www.onet.pl/")},
                                                     {QStringLiteral("Wirtualna Polska"), QStringLiteral("http://www.wp.pl/")}}));
    EXPECT_EQ(d.Lista_Uklad_Adresy, QStringList{QStringLiteral("jan@kowalski.pl")});
    EXPECT_EQ(read.project->mainText, QStringLiteral("<P>Witajcie na mojej stronie!\n<IMG SRC=\"obrazki/kot.gif\">\n"));
    EXPECT_TRUE(read.project->wordWrap);
    EXPECT_EQ(read.project->profile, (PublishProfile{QStringLiteral("ftp.kowalski.pl"), QStringLiteral("jan"),
                                                     QStringLiteral("www"), false, false}))
        << "a project from before TLS goes on in clear text, as it was published";
}

// A project written by hand with no background is a fresh page's: silver,
// no colour of its own (it was read as black, which pages then carried).
TEST_F(ProjectFileTest, AProjectWithoutABackgroundHasNoneOfItsOwn)
{
    const ProjectRead read = projectFromJson(R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"tytul": "Chleb"}})",
                                             projectFolder());
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_EQ(read.project->page.Panel_Podglad_Naglowki, QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(read.project->page.PopUp_Atrybuty_Tlo_Kolor);
    EXPECT_EQ(read.project->page.Lista_Wyglad, QStringLiteral("prosty"));
}

TEST_F(ProjectFileTest, EveryBadFileIsNamedWithWhatIsWrongAndNeverWritten)
{
    const QByteArray good = projectToJson(everyFieldSet(projectFolder()), projectFolder());
    const struct {
        const char *name;
        QByteArray bytes;
        const char *said;
    } cases[] = {
        {"not JSON", "<html>strona</html>", "to nie jest poprawny plik JSON"},
        {"cut short", good.left(good.size() / 2), "plik jest niepełny"},
        {"an array", "[1, 2]", "brak obiektu JSON"},
        {"another format", R"({"format": "inny", "wersja": 1})", "to nie jest projekt tego programu (format \"inny\")"},
        {"no format", R"({"wersja": 1})", "brak nazwy formatu"},
        {"newer version", R"({"format": "zentarek-projekt", "wersja": 2})", "nowszej wersji programu (wersja formatu 2"},
        {"version as text", R"({"format": "zentarek-projekt", "wersja": "1"})", "pole \"wersja\""},
        {"title a number", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"tytul": 5}})",
         "pole \"strona.tytul\" powinno być tekstem"},
        {"colour", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"kolory": {"tekst": "zielony?"}}})",
         "pole \"strona.kolory.tekst\" powinno być kolorem"},
        {"alignment", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"naglowek": {"wyrownanie": "góra"}}})",
         "pole \"strona.naglowek.wyrownanie\""},
        {"links", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"odnosniki": {"lista": ["a"]}}})",
         "pole \"strona.odnosniki.lista\" powinno być listą odnośników"},
        {"repeats", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"dzwiek": {"powtorzenia": 2.5}}})",
         "pole \"strona.dzwiek.powtorzenia\" powinno być liczbą całkowitą"},
        {"page a list", R"({"format": "zentarek-projekt", "wersja": 1, "strona": []})", "pole \"strona\" powinno być obiektem"},
        {"encoding", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"kodowanie": "UTF-16"}})",
         "pole \"strona.kodowanie\" powinno być jednym z"},
        {"look", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"wyglad": "rozowy"}})",
         "pole \"strona.wyglad\" powinno być jednym z: \"prosty\", \"elegancki\", \"ciemny\""},
        {"file", R"({"format": "zentarek-projekt", "wersja": 1, "strona": {"logo": {"plik": {"wProjekcie": "/etc/passwd"}}}})",
         "pole \"strona.logo.plik\""},
        {"over 10 MB", "{\"format\": \"zentarek-projekt\", \"wersja\": 1, \"x\": \"" + QByteArray(11 << 20, 'x') + "\"}",
         "plik jest większy niż 10 MB"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write(c.bytes);
        const QDateTime before = QFileInfo(projectPath()).lastModified();
        const ProjectRead read = readProjectFile(projectPath());
        EXPECT_FALSE(read.project);
        EXPECT_TRUE(read.error.contains(QString::fromUtf8(c.said))) << read.error.toStdString();
        EXPECT_EQ(zk::testing::readFile(projectPath()), c.bytes);
        EXPECT_EQ(QFileInfo(projectPath()).lastModified(), before);
    }
    EXPECT_EQ(readProjectFile(path(QStringLiteral("brak.zentarek"))).error, QStringLiteral("plik nie istnieje"));
}

TEST_F(ProjectFileTest, MissingPicturesAreListedOnceEach)
{
    Project p = everyFieldSet(projectFolder());
    p.page.Edit_Src = projectFolder() + QStringLiteral("logo.jpg"); // the same file twice
    writeFile(p.page.BackgroundImagePath);
    EXPECT_EQ(missingProjectFiles(p), QStringList{projectFolder() + QStringLiteral("logo.jpg")})
        << "addresses and relative references are not checked here";
    p.page.Check_Uklad_Logo = false;
    p.page.Check_Play = false;
    EXPECT_TRUE(missingProjectFiles(p).isEmpty()) << "a file that is switched off is not used";
}

} // namespace

namespace {

class ProjectLimitsTest : public Isolated {
protected:
    // A minimal project whose page object gets `page`'s keys.
    ProjectRead readWith(const QJsonObject &page)
    {
        const QJsonObject root{{QStringLiteral("format"), ProjectFormatName}, {QStringLiteral("wersja"), 1},
                               {QStringLiteral("strona"), page}};
        return projectFromJson(QJsonDocument(root).toJson(), path(QStringLiteral("projekt")));
    }
};

TEST_F(ProjectLimitsTest, ColoursAreOnlyRrggbbAndOneLineTextsFitTheirField)
{
    const auto colours = [](const QString &c) { return QJsonObject{{QStringLiteral("kolory"), QJsonObject{{QStringLiteral("tekst"), c}}}}; };
    for (const QString &bad : {QStringLiteral("red"), QStringLiteral("#ff000080"), QStringLiteral("#f00"), QStringLiteral("#12345g")}) {
        const ProjectRead read = readWith(colours(bad));
        EXPECT_FALSE(read.project) << bad.toStdString();
        EXPECT_EQ(read.error, QStringLiteral("pole \"strona.kolory.tekst\" powinno być kolorem w postaci #rrggbb"));
    }
    EXPECT_EQ(readWith(colours(QStringLiteral("#AbCdEf"))).project->page.Przycisk_Atrybuty_Kolor_Tekst, QColor(0xAB, 0xCD, 0xEF));

    EXPECT_TRUE(readWith({{QStringLiteral("tytul"), QString(MaxFieldLength, u'a')}}).project);
    const ProjectRead tooLong = readWith({{QStringLiteral("tytul"), QString(MaxFieldLength + 1, u'a')}});
    EXPECT_FALSE(tooLong.project) << "a field would cut it unseen";
    EXPECT_EQ(tooLong.error, QStringLiteral("pole \"strona.tytul\" powinno być tekstem krótszym niż 32 768 znaków"));
}

TEST_F(ProjectLimitsTest, ForbiddenCharactersAreLeftOutAndSaid)
{
    const QString withNul = QStringLiteral("Piekarnia") + QChar(0) + QStringLiteral(" Kłos");
    const QString lone = QStringLiteral("Chleb") + QChar(0xD800) + QStringLiteral(" i ") + QChar(0xDC00);
    const QString pair = QStringLiteral("Ciasto \U0001F370");
    const ProjectRead read = readWith({{QStringLiteral("tytul"), withNul}, {QStringLiteral("tekst"), lone + pair}});
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_EQ(read.project->page.Edit_Atrybuty_Tytul, QStringLiteral("Piekarnia Kłos"));
    EXPECT_EQ(read.project->mainText, QStringLiteral("Chleb i ") + pair) << "a whole pair stays";
    ASSERT_EQ(read.notes.size(), 1);
    EXPECT_TRUE(read.notes[0].startsWith(QStringLiteral("Pominięto znaki")));
    EXPECT_TRUE(readWith({{QStringLiteral("tytul"), pair}}).notes.isEmpty());

    // The main text of megabytes takes the fast road: the same rule.
    const ProjectRead large = readWith({{QStringLiteral("tekst"), QString(10000, u'x') + QChar(0)}});
    EXPECT_EQ(large.project->mainText, QString(10000, u'x'));
    EXPECT_EQ(large.notes.size(), 1);
}

TEST_F(ProjectLimitsTest, APathThatClimbsOutOfTheProjectFolderIsNeverFollowed)
{
    const QJsonObject logo{{QStringLiteral("wlaczone"), true},
                           {QStringLiteral("plik"), QJsonObject{{QStringLiteral("wProjekcie"), QStringLiteral("../../../../etc/passwd")}}}};
    const ProjectRead read = readWith({{QStringLiteral("logo"), logo}});
    ASSERT_TRUE(read.project) << read.error.toStdString();
    EXPECT_TRUE(read.project->page.Edit_Uklad_Logo.isEmpty());
    ASSERT_EQ(read.notes.size(), 1);
    EXPECT_TRUE(read.notes[0].contains(QStringLiteral("/etc/passwd"))) << read.notes[0].toStdString();
    const QJsonObject inside{{QStringLiteral("wlaczone"), true},
                             {QStringLiteral("plik"), QJsonObject{{QStringLiteral("wProjekcie"), QStringLiteral("obrazki/../logo.gif")}}}};
    EXPECT_EQ(readWith({{QStringLiteral("logo"), inside}}).project->page.Edit_Uklad_Logo, path(QStringLiteral("projekt/logo.gif")));
}

TEST_F(ProjectLimitsTest, AProjectTheProgramWouldRefuseToReadIsNeverWritten)
{
    Project p;
    p.mainText = QString(MaxProjectFileSize / 2 + 1000, u'ż'); // two bytes a letter in UTF-8
    const QString file = path(QStringLiteral("duzy.zentarek"));
    writeFile(file, "stary");
    const std::optional<QString> error = writeProjectFile(p, file);
    ASSERT_TRUE(error);
    const QString expected = QStringLiteral("projekt zająłby 10.0 MB, a program otwiera projekty do 10 MB");
    EXPECT_TRUE(error->startsWith(expected)) << error->toStdString();
    EXPECT_EQ(zk::testing::readFile(file), QByteArray("stary"));
    p.mainText.chop(4000);
    EXPECT_EQ(writeProjectFile(p, file), std::nullopt);
    EXPECT_TRUE(readProjectFile(file).project) << "what is written can be read";
}

} // namespace
