#include "AppError.h"
#include "Assets.h"
#include "Isolated.h"
#include "MidiRecording.h"
#include "MidiSong.h"
#include "Paths.h"
#include "PageGenerator.h"
#include "PageOutput.h"
#include "../generator/Pages.h"
#include "References.h"

#include <QDir>
#include <QFile>

using namespace zk;
using zk::testing::Isolated;
using zk::testing::readFile;

namespace {

struct KindCase {
    const char *reference;
    ReferenceKind kind;
};

class ReferenceClasses : public ::testing::TestWithParam<KindCase> {};

// Each case also holds in upper case: schemes, drives and "www." are case-blind.
TEST_P(ReferenceClasses, AreDecidedOnce)
{
    const QString ref = QString::fromUtf8(GetParam().reference);
    EXPECT_EQ(classifyReference(ref), GetParam().kind) << GetParam().reference;
    EXPECT_EQ(classifyReference(ref.toUpper()), GetParam().kind) << GetParam().reference << " in upper case";
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReferenceClasses,
    ::testing::Values(
        KindCase{"http://www.example.com/img/baner.gif", ReferenceKind::Address},
        KindCase{"https://x.pl/a.png", ReferenceKind::Address}, KindCase{"ftp://ftp.x.pl/plik.zip", ReferenceKind::Address},
        KindCase{"mailto:jan@x.pl", ReferenceKind::Address}, KindCase{"javascript:void(0)", ReferenceKind::Address},
        KindCase{"#kontakt", ReferenceKind::Address}, KindCase{"?strona=2", ReferenceKind::Address},
        KindCase{"//cdn.x.pl/a.gif", ReferenceKind::Address}, KindCase{"www.onet.pl/index.html", ReferenceKind::Address},
        KindCase{"file://serwer/udzial/a.gif", ReferenceKind::Address}, KindCase{"", ReferenceKind::Address},
        KindCase{"  ", ReferenceKind::Address}, KindCase{"data:image/gif;base64,R0lG", ReferenceKind::Address},
        KindCase{"/home/jan/Obrazki/foto.png", ReferenceKind::LocalPath},
        KindCase{"D:\\Foto\\Kot.GIF", ReferenceKind::LocalPath}, KindCase{"h:\\strony\\a.htm", ReferenceKind::LocalPath},
        KindCase{"c:/foto/a.jpeg", ReferenceKind::LocalPath}, KindCase{"\\\\serwer\\foto\\a.gif", ReferenceKind::LocalPath},
        KindCase{"file:///home/jan/a.gif", ReferenceKind::LocalPath},
        KindCase{"file://localhost/home/jan/a.gif", ReferenceKind::LocalPath},
        KindCase{"img/a.gif", ReferenceKind::Relative}, KindCase{"a.gif", ReferenceKind::Relative},
        KindCase{"historia.html", ReferenceKind::Relative}, KindCase{"../index.html", ReferenceKind::Relative},
        KindCase{"./img/a.gif", ReferenceKind::Relative}, KindCase{"www", ReferenceKind::Relative},
        KindCase{"wwwstrona.html", ReferenceKind::Relative}));

struct LineCase {
    const char *line;
    QStringList references;
};

class ReferenceScan : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReferenceScan, FindsEveryReferenceAttributeValue)
{
    EXPECT_EQ(referencesInLine(QString::fromUtf8(GetParam().line)), GetParam().references) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReferenceScan,
    ::testing::Values(
        LineCase{"<IMG SRC=\"D:\\Foto\\Kot.GIF\">", {QStringLiteral("D:\\Foto\\Kot.GIF")}},
        LineCase{"<img src=\"a.gif\"><img src=\"b.gif\">", {QStringLiteral("a.gif"), QStringLiteral("b.gif")}},
        LineCase{"<A HREF=\"duzy.jpg\"><IMG SRC=\"maly.gif\"></A>", {QStringLiteral("duzy.jpg"), QStringLiteral("maly.gif")}},
        LineCase{"<img src='a b.png' lowsrc=x.gif dynsrc = \"film.avi\">",
                 {QStringLiteral("a b.png"), QStringLiteral("x.gif"), QStringLiteral("film.avi")}},
        LineCase{"<TD BACKGROUND=tlo.jpeg><a Href=cv.pdf>cv</a>", {QStringLiteral("tlo.jpeg"), QStringLiteral("cv.pdf")}},
        LineCase{"<img alt=\"src=x.gif\" data-src=\"y.gif\" xsrc=z.gif>", {}},
        LineCase{"<img src=\"niedomkniety.gif", {QStringLiteral("niedomkniety.gif")}},
        LineCase{"<img src=>", {QString()}},
        LineCase{"a = b, src nie jest atrybutem", {}},
        LineCase{"plain text with no references.gif", {}}));

// A test folder with files in it and a description whose main text refers
// to them.
class AssetPlanTest : public Isolated {
protected:
    AssetPlan plan(const QStringList &mainText, const QString &base = QString())
    {
        PageDescription d;
        d.PopUp_Atrybuty_Tlo_Kolor = true;
        d.Check_Uklad_Logo = false;
        d.Check_Uklad_Odnosniki_Ikona = false;
        d.Check_Uklad_Adresy_Ikona = false;
        d.Check_Play = false;
        d.Edytorek = mainText;
        return planFor(d, base);
    }
    AssetPlan planFor(const PageDescription &d, const QString &base = QString())
    {
        AssetContext context;
        context.baseFolder = base;
        context.reservedNames = {QStringLiteral("index.html"), BadgeName};
        context.locale = QLocale(QLocale::Polish);
        return Gen_List(d, context);
    }
};

TEST_F(AssetPlanTest, AbsolutePathsTravelUnderUniqueNamesAddressesAndRelativesStay)
{
    const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b"));
    for (const char *name : {"a/logo.gif", "b/logo.gif", "a/Kot.gif", "a/kot.gif", "a/foto.png", "a/duzy.jpeg",
                             "a/cv.pdf", "a/index.html"})
        writeFile(path(QString::fromLatin1(name)), name);
    ASSERT_TRUE(QFile::link(a + QStringLiteral("logo.gif"), b + QStringLiteral("dowiazanie.gif")));
    const QStringList text = {
        QStringLiteral("<IMG SRC=\"%1logo.gif\"><IMG SRC='%2logo.gif'><IMG SRC=\"%2dowiazanie.gif\">").arg(a, b),
        QStringLiteral("<A HREF=\"%1duzy.jpeg\"><IMG SRC=%1foto.png></A>").arg(a),
        QStringLiteral("<IMG SRC=\"%1Kot.gif\"> <IMG SRC=\"%1kot.gif\"> <img src=\"%1../a/Kot.gif\">").arg(a),
        QStringLiteral("<A HREF=\"file://%1cv.pdf#praca\">CV</A> <A HREF=\"%1index.html\">stara</A>").arg(a),
        QStringLiteral("<IMG SRC=\"http://www.example.com/img/baner.gif\"><A HREF=\"img/a.gif\">"),
        QStringLiteral("<IMG SRC=\"/nie/ma/takiego.gif\">")};
    const AssetPlan p = plan(text);
    const QHash<QString, QString> expected = {
        {a + QStringLiteral("logo.gif"), QStringLiteral("logo.gif")},
        {b + QStringLiteral("logo.gif"), QStringLiteral("logo-2.gif")},
        {b + QStringLiteral("dowiazanie.gif"), QStringLiteral("logo.gif")},
        {a + QStringLiteral("duzy.jpeg"), QStringLiteral("duzy.jpeg")},
        {a + QStringLiteral("foto.png"), QStringLiteral("foto.png")},
        {a + QStringLiteral("Kot.gif"), QStringLiteral("Kot.gif")},
        {a + QStringLiteral("kot.gif"), QStringLiteral("kot-2.gif")},
        {a + QStringLiteral("../a/Kot.gif"), QStringLiteral("Kot.gif")},
        {QStringLiteral("file://%1cv.pdf#praca").arg(a), QStringLiteral("cv.pdf#praca")},
        {a + QStringLiteral("index.html"), QStringLiteral("index-2.html")},
        {QStringLiteral("/nie/ma/takiego.gif"), QStringLiteral("takiego.gif")}};
    EXPECT_EQ(p.pageNames, expected);
    EXPECT_EQ(p.missing, QStringList{QStringLiteral("/nie/ma/takiego.gif")});
    QStringList targets;
    for (const TravellingFile &f : p.files) {
        targets << f.target;
        EXPECT_TRUE(QFile::exists(f.source)) << f.source.toStdString();
    }
    targets.sort(Qt::CaseInsensitive);
    EXPECT_EQ(targets, (QStringList{QStringLiteral("cv.pdf"), QStringLiteral("duzy.jpeg"), QStringLiteral("foto.png"),
                                    QStringLiteral("index-2.html"), QStringLiteral("kot-2.gif"), QStringLiteral("Kot.gif"),
                                    QStringLiteral("logo-2.gif"), QStringLiteral("logo.gif")}))
        << "the same file in two spellings travels once";
}

TEST_F(AssetPlanTest, RelativeReferencesTravelToTheSamePlaceBelowTheBaseFolder)
{
    const QString base = folder(QStringLiteral("strona"));
    const QString other = folder(QStringLiteral("inne"));
    writeFile(base + QStringLiteral("img/a.gif"), "img/a");
    writeFile(base + QStringLiteral("moje zdjęcie.gif"), "zdjecie");
    writeFile(other + QStringLiteral("a.gif"), "inne/a");
    writeFile(other + QStringLiteral("img"), "a file named like the folder");
    const QStringList text = {QStringLiteral("<IMG SRC=\"img/a.gif\"><IMG SRC=\"./img/a.gif\"><IMG SRC=\"img\\a.gif\">"),
                              QStringLiteral("<IMG SRC=\"moje%20zdj%C4%99cie.gif\"><A HREF=\"../index.html\">w górę</A>"),
                              QStringLiteral("<IMG SRC=\"%1a.gif\"><IMG SRC=\"%1img\"><A HREF=\"cennik.html\">").arg(other)};
    const AssetPlan p = plan(text, base);
    EXPECT_EQ(p.files, (QList<TravellingFile>{{other + QStringLiteral("a.gif"), QStringLiteral("a.gif")},
                                              {other + QStringLiteral("img"), QStringLiteral("img-2")},
                                              {base + QStringLiteral("img/a.gif"), QStringLiteral("img/a.gif")},
                                              {base + QStringLiteral("moje zdjęcie.gif"), QStringLiteral("moje zdjęcie.gif")}}));
    EXPECT_FALSE(p.pageNames.contains(QStringLiteral("img/a.gif"))) << "relative references are never rewritten";
    EXPECT_EQ(p.pageNames.value(other + QStringLiteral("img")), QStringLiteral("img-2")) << "the folder name is taken";
    EXPECT_TRUE(p.missing.isEmpty()) << "a relative name that is not here may be on the server already";

    const AssetPlan noBase = plan(text);
    EXPECT_EQ(noBase.files.size(), 2) << "without a base folder only the absolute paths travel";
}

TEST_F(AssetPlanTest, FormFilesFollowTheirOwnSwitchesAndTheirPagesNamesAreUnique)
{
    writeFile(path(QStringLiteral("Foto/Logo.GIF")), "logo");
    writeFile(path(QStringLiteral("ikony/logo.gif")), "ikona");
    writeFile(path(QStringLiteral("old/tlo.jpg")), "tlo");
    PageDescription d;
    d.PopUp_Atrybuty_Tlo_Kolor = true;
    d.BackgroundImagePath = path(QStringLiteral("old/tlo.jpg")); // chosen earlier, the kind is colour now
    d.Check_Atrybuty_Naglowki = false;
    d.Check_Uklad_Logo = true;
    d.Edit_Uklad_Logo = path(QStringLiteral("Foto/Logo.GIF"));
    d.Check_Play = true;
    d.Edit_Src.clear();
    d.Check_Uklad_Odnosniki_Ikona = true;
    d.Edit_Uklad_Odnosniki_Ikonka = path(QStringLiteral("ikony/logo.gif"));
    d.Check_Uklad_Adresy_Ikona = true;
    d.Edit_Uklad_Adresy_Ikona = QStringLiteral("http://x.pl/koperta.gif");
    d.Edytorek = {QStringLiteral("<IMG SRC=\"%1\">").arg(path(QStringLiteral("Foto/Logo.GIF")))};
    const AssetPlan p = planFor(d);
    EXPECT_EQ(p.files.size(), 2) << "the background of a colour page and a web address are not collected";
    EXPECT_EQ(p.pageNames.value(path(QStringLiteral("Foto/Logo.GIF"))), QStringLiteral("Logo.GIF"));
    EXPECT_EQ(p.pageNames.value(path(QStringLiteral("ikony/logo.gif"))), QStringLiteral("logo-2.gif"));
    EXPECT_EQ(planFor(d).files, p.files) << "running it again gives the same plan";
}

// Browsers play no MIDI: on an HTML5 page the melody travels as its
// recording, under its own name (and folder) with ".opus"; other sounds and
// other document types take the sound file as it is.
TEST_F(AssetPlanTest, AMidiSoundOfAnHtml5PageTravelsAsItsRecording)
{
    const QString base = folder(QStringLiteral("projekt"));
    writeFile(path(QStringLiteral("Muzyka/Melodia.MID")), zk::testing::midiSong(2));
    writeFile(base + QStringLiteral("dzwieki/tlo.mid"), zk::testing::midiSong(3));
    writeFile(path(QStringLiteral("Muzyka/szum.wav")), "RIFF....WAVE");
    writeFile(path(QStringLiteral("Muzyka/udawana.mid")), "not a melody");
    PageDescription d;
    d.PopUp_Atrybuty_Tlo_Kolor = true;
    d.Check_Uklad_Logo = d.Check_Uklad_Odnosniki_Ikona = d.Check_Uklad_Adresy_Ikona = false;
    d.Check_Play = true;
    d.Lista_Atrybuty_DocType = Html5DocType;
    const QString melody = path(QStringLiteral("Muzyka/Melodia.MID"));
    d.Edit_Src = melody;
    d.Edytorek = {QStringLiteral("<A HREF=\"%1\">melodia</A> <IMG SRC=\"%2\">").arg(melody, path(QStringLiteral("Muzyka/Melodia.gif")))};
    writeFile(path(QStringLiteral("Muzyka/Melodia.gif")), "gif");

    AssetPlan p = planFor(d, base);
    ASSERT_EQ(p.melody, melody);
    EXPECT_EQ(p.melodyRecording, cachedRecordingPath(melody));
    EXPECT_TRUE(p.melodyRecording.startsWith(path(QStringLiteral("cache/")))) << p.melodyRecording.toStdString();
    EXPECT_EQ(p.pageNames.value(melody), QStringLiteral("Melodia.opus")) << "the page and the link name the recording";
    EXPECT_EQ(p.files, (QList<TravellingFile>{{p.melodyRecording, QStringLiteral("Melodia.opus")},
                                              {path(QStringLiteral("Muzyka/Melodia.gif")), QStringLiteral("Melodia.gif")}}))
        << "the MIDI file itself does not travel";

    d.Edit_Src = QStringLiteral("dzwieki/tlo.mid"); // relative to the project
    p = planFor(d, base);
    EXPECT_EQ(p.melody, base + QStringLiteral("dzwieki/tlo.mid"));
    EXPECT_EQ(p.pageNames.value(QStringLiteral("dzwieki/tlo.mid")), QStringLiteral("dzwieki/tlo.opus"));
    EXPECT_TRUE(p.files.contains(TravellingFile{p.melodyRecording, QStringLiteral("dzwieki/tlo.opus")}));
    EXPECT_NE(p.melodyRecording, cachedRecordingPath(melody)) << "another melody, another recording";

    for (const QString &other : {path(QStringLiteral("Muzyka/szum.wav")), path(QStringLiteral("Muzyka/udawana.mid"))}) {
        d.Edit_Src = other;
        p = planFor(d, base);
        EXPECT_TRUE(p.melody.isEmpty()) << other.toStdString();
        EXPECT_TRUE(p.files.contains(TravellingFile{other, fileNameOf(other)})) << "travels as it is: " << other.toStdString();
    }
    d.Edit_Src = melody;
    d.Lista_Atrybuty_DocType = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">");
    p = planFor(d, base);
    EXPECT_TRUE(p.melody.isEmpty()) << "BGSOUND plays MIDI in the browsers it was made for";
    EXPECT_TRUE(p.files.contains(TravellingFile{melody, QStringLiteral("Melodia.MID")}));
}

// The main text of a common home page, generated with the names the plan
// gives: each line exactly as the page will hold it.
TEST_F(AssetPlanTest, GoldenMainSection)
{
    const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b")), site = folder(QStringLiteral("site"));
    for (const QString &f : {a + QStringLiteral("foto.png"), a + QStringLiteral("duzy.jpeg"), a + QStringLiteral("Kot.gif"),
                             a + QStringLiteral("kot.gif"), b + QStringLiteral("foto.png"), a + QStringLiteral("cv.pdf"),
                             site + QStringLiteral("img/a.gif")})
        writeFile(f, f.toUtf8());
    PageDescription d = zk::testing::freshDescription(QStringLiteral("Jan"));
    d.Edytorek = {QStringLiteral("<IMG SRC=\"http://www.example.com/img/baner.gif\"> <A HREF=\"www.onet.pl/index.html\">Onet</A>"),
                  QStringLiteral("<a href='ftp://ftp.x.pl/a.zip'>a</a> <IMG SRC=\"img/a.gif\"> <IMG SRC=\"%1foto.png\">").arg(a),
                  QStringLiteral("<A HREF=\"%1duzy.jpeg\"><IMG SRC=\"%1foto.png\" ALT=\"miniatura\"></A>").arg(a),
                  QStringLiteral("<IMG SRC=%1Kot.gif><IMG SRC=%1kot.gif><IMG SRC='%2foto.png'>").arg(a, b),
                  QStringLiteral("<A HREF=\"file://%1cv.pdf\">CV</A> <A HREF=\"#gora\">w górę</A>").arg(a)};
    const AssetPlan p = planFor(d, site);
    GeneratorContext c = zk::testing::fixedContext();
    c.pageNames = p.pageNames;
    EXPECT_EQ(Generuj_Strone(d, c).mainSectionLines,
              (QStringList{QStringLiteral("<IMG SRC=\"http://www.example.com/img/baner.gif\"> <A HREF=\"www.onet.pl/index.html\">Onet</A>"),
                           QStringLiteral("<a href='ftp://ftp.x.pl/a.zip'>a</a> <IMG SRC=\"img/a.gif\"> <IMG SRC=\"foto.png\">"),
                           QStringLiteral("<A HREF=\"duzy.jpeg\"><IMG SRC=\"foto.png\" ALT=\"miniatura\"></A>"),
                           QStringLiteral("<IMG SRC=Kot.gif><IMG SRC=kot-2.gif><IMG SRC='foto-2.png'>"),
                           QStringLiteral("<A HREF=\"cv.pdf\">CV</A> <A HREF=\"#gora\">w górę</A>")}));
    EXPECT_EQ(p.files.size(), 7);
}

class CopyTest : public Isolated {};

TEST_F(CopyTest, ReplacesOnlyWhatDiffersAndNeverCopiesAFileOntoItself)
{
    const QString source = path(QStringLiteral("a.gif"));
    writeFile(source, "GIF89a-new");
    const QString copy = path(QStringLiteral("copy.gif"));
    EXPECT_TRUE(copyWouldChange(source, copy));
    copyReplacing(source, copy);
    EXPECT_EQ(readFile(copy), QByteArray("GIF89a-new"));
    EXPECT_FALSE(copyWouldChange(source, copy)) << "the same bytes";
    writeFile(copy, "GIF89a-old");
    EXPECT_TRUE(copyWouldChange(source, copy)) << "same size, other bytes";
    copyReplacing(source, copy);
    EXPECT_EQ(readFile(copy), QByteArray("GIF89a-new"));
    EXPECT_FALSE(copyWouldChange(source, path(QStringLiteral("./a.gif")))) << "a file is never copied onto itself";
    copyReplacing(source, path(QStringLiteral("./a.gif")));
    EXPECT_EQ(readFile(source), QByteArray("GIF89a-new"));
}

TEST_F(CopyTest, ACopyThatCannotBeCreatedRaisesAnErrorNamingIt)
{
    const QString source = path(QStringLiteral("a.gif"));
    writeFile(source);
    const QString target = path(QStringLiteral("brak/a.gif"));
    try {
        copyReplacing(source, target);
        FAIL() << "expected an error";
    } catch (const AppError &e) {
        EXPECT_TRUE(e.text().contains(target)) << e.text().toStdString();
    }
}

TEST_F(CopyTest, WritingAPageListsWhatWouldChangeAndMakesSubfolders)
{
    const QString src = folder(QStringLiteral("src")), out = folder(QStringLiteral("out"));
    writeFile(src + QStringLiteral("img/a.gif"), "a");
    writeFile(src + QStringLiteral("b.gif"), "b");
    writeFile(src + QStringLiteral("badge.gif"), "badge");
    PageOutput page{{QStringLiteral("<P>Zażółć</P>")},
                    {{src + QStringLiteral("img/a.gif"), QStringLiteral("img/a.gif")}, {src + QStringLiteral("b.gif"), QStringLiteral("b.gif")}},
                    EncodingIso,
                    src + QStringLiteral("badge.gif")};
    EXPECT_TRUE(filesThatWouldChange(page, out, QStringLiteral("index.html")).isEmpty()) << "an empty folder";
    QStringList made;
    ASSERT_TRUE(writePageWithAssets(page, out, QStringLiteral("index.html"), {}, &made));
    EXPECT_EQ(made, QStringList{out + QStringLiteral("img")});
    EXPECT_EQ(readFile(out + QStringLiteral("img/a.gif")), QByteArray("a"));
    EXPECT_EQ(readFile(out + BadgeName), QByteArray("badge"));
    EXPECT_TRUE(filesThatWouldChange(page, out, QStringLiteral("index.html")).isEmpty()) << "the same files again";
    writeFile(out + QStringLiteral("b.gif"), "moje b");
    writeFile(out + QStringLiteral("index.html"), "moja strona");
    EXPECT_EQ(filesThatWouldChange(page, out, QStringLiteral("index.html")),
              (QStringList{QStringLiteral("index.html"), QStringLiteral("b.gif")}));
}

// The pictures travel while the page is written: when both fail, the page's
// failure is the one said, and nothing escapes the command.
TEST_F(CopyTest, APageThatCannotBeWrittenIsSaidEvenWhenAPictureFailsBesideIt)
{
    const QString src = folder(QStringLiteral("src")), out = folder(QStringLiteral("out"));
    writeFile(src + QStringLiteral("a.gif"), "a");
    writeFile(src + QStringLiteral("b.gif"), "b");
    QDir().mkpath(out + QStringLiteral("index.html")); // the page's place is taken by a folder
    QDir().mkpath(out + QStringLiteral("b.gif"));      // and so is one picture's
    const PageOutput page{{QStringLiteral("<P>Zażółć</P>")},
                          {{src + QStringLiteral("a.gif"), QStringLiteral("a.gif")}, {src + QStringLiteral("b.gif"), QStringLiteral("b.gif")}},
                          EncodingIso,
                          {}};
    QStringList said;
    bool written = true;
    EXPECT_NO_THROW(written = writePageWithAssets(page, out, QStringLiteral("index.html"),
                                                  [&](const QString &, const QString &text) { said << text; }));
    EXPECT_FALSE(written);
    ASSERT_FALSE(said.isEmpty());
    EXPECT_EQ(said.last(), QStringLiteral("Nie można zapisać pliku \"%1index.html\"!").arg(out));
    const QStringList left = QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_TRUE(left == (QStringList{QStringLiteral("b.gif"), QStringLiteral("index.html")})
                || left == (QStringList{QStringLiteral("a.gif"), QStringLiteral("b.gif"), QStringLiteral("index.html")}))
        << "no half-copied file is left: " << left.join(u' ').toStdString();
    if (left.contains(QStringLiteral("a.gif"))) {
        EXPECT_EQ(readFile(out + QStringLiteral("a.gif")), QByteArray("a"));
    }
}

TEST(PageFileName, EndsInHtml)
{
    const std::pair<const char *, const char *> cases[] = {
        {"index.htm", "index.html"},   {"Strona", "Strona.html"},       {"STRONA.HTML", "STRONA.html"},
        {"", ".html"},                 {"index.html", "index.html"},     {"x.tar.gz", "x.tar.html"},
        {"kat.1\\strona", "kat.1\\strona.html"}, {"a.b/c", "a.b/c.html"}, {"moja strona.php", "moja strona.html"}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(normalizePageFileName(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST(PageFileName, OnlyOnePlainFileNameIsUsable)
{
    for (const char *good : {"index.html", "Strona", "moja strona.htm", "żółw.html", "a.b.c"})
        EXPECT_TRUE(pageFileNameProblem(QString::fromUtf8(good)).isEmpty()) << good;
    for (const char *bad : {"", "  ", "kat/strona", "kat\\strona", "..", "../x", "c:strona", ".html", ".ukryta"}) {
        const QString problem = pageFileNameProblem(QString::fromUtf8(bad));
        EXPECT_FALSE(problem.isEmpty()) << bad;
        EXPECT_TRUE(problem.endsWith(u'!')) << problem.toStdString();
        if (!QString::fromUtf8(bad).trimmed().isEmpty()) {
            EXPECT_TRUE(problem.contains(u'"' + QString::fromUtf8(bad) + u'"')) << problem.toStdString();
        }
    }
}

} // namespace
