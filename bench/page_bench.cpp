// Generating and saving a large page: 100,000 main-text lines (about 6 MB)
// with 200 picture references, in both encodings, beside iconv converting
// the same text in the same run; and generation at twice the lines, to see
// that its time grows linearly.
//
//     build/bench/bench_page [lines]
#include "Assets.h"
#include "Encoding.h"
#include "PageGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>

using namespace zk;

static PageDescription bigPage(int lines, const QString &pictures)
{
    PageDescription d;
    d.Lista_Atrybuty_DocType = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">");
    d.Panel_Podglad_Naglowki = QColor(0xC0, 0xC0, 0xC0);
    d.Edit_Atrybuty_Tytul = QStringLiteral("Jan Kowalski - Strona Domowa - Firmowa");
    d.Edit_Uklad_Glowny_Naglowek = QStringLiteral("Jan Kowalski");
    d.Grid_Uklad_Odnosniki = {LinkRow{}};
    const int every = std::max(1, lines / 200);
    d.Edytorek.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        if (i % every == 0)
            d.Edytorek << QStringLiteral("<P><IMG SRC=\"%1obrazek%2.gif\"> Zdjęcie nr %2</P>").arg(pictures).arg(i / every);
        else
            d.Edytorek << QStringLiteral("<P>Zażółć gęślą jaźń, wiersz %1 tekstu strony głównej.</P>").arg(i, 6);
    }
    return d;
}

static double ms(QElapsedTimer &t)
{
    const double v = t.nsecsElapsed() / 1e6;
    t.restart();
    return v;
}

static double generate(const PageDescription &d, GeneratorContext c, GeneratedPage &page)
{
    QElapsedTimer t;
    t.start();
    c.pageNames = Gen_List(d, AssetContext{}).pageNames;
    page = Generuj_Strone(d, c);
    return ms(t);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString pictures = QStringLiteral("/home/jan/Obrazki/");
    GeneratorContext c;
    c.ownerName = QStringLiteral("Jan Kowalski");
    c.nowUtc = QDateTime::currentDateTimeUtc();
    c.today = QDate::currentDate();

    const PageDescription d = bigPage(lines, pictures);
    const PageDescription twice = bigPage(lines * 2, pictures);
    GeneratedPage page;
    generate(d, c, page); // warm-up
    const double gen1 = generate(d, c, page);
    GeneratedPage bigger;
    const double gen2 = generate(twice, c, bigger);

    qint64 bytes = 0;
    for (const QString &l : page.pageLines)
        bytes += l.toUtf8().size() + 2;
    std::printf("page: %d main-text lines, %lld bytes as UTF-8, %lld assets\n", lines, static_cast<long long>(bytes),
                static_cast<long long>(Gen_List(d, AssetContext{}).pageNames.size()));
    std::printf("generate (Gen_List + Generuj_Strone): %8.1f ms; at %d lines %8.1f ms (ratio %.2f, goal <= 2.2)\n", gen1,
                lines * 2, gen2, gen2 / gen1);

    QElapsedTimer t;
    double save[2] = {};
    const QString encodings[2] = {EncodingIso, EncodingWindows};
    for (int i = 0; i < 2; ++i) {
        t.start();
        SaveEncoded(page.pageLines, dir.filePath(QStringLiteral("index.html")),
                    encodings[i], [](const QString &, const QString &text) { std::printf("message: %s\n", qPrintable(text)); });
        save[i] = ms(t);
    }

    QFile utf8(dir.filePath(QStringLiteral("page.utf8")));
    utf8.open(QIODevice::WriteOnly);
    for (const QString &l : page.pageLines)
        utf8.write(l.toUtf8() + "\r\n");
    utf8.close();
    QProcess iconv;
    iconv.setStandardInputFile(utf8.fileName());
    iconv.setStandardOutputFile(dir.filePath(QStringLiteral("iconv.out")));
    t.start();
    iconv.start(QStringLiteral("iconv"), {QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                          QStringLiteral("-t"), QStringLiteral("ISO-8859-2")});
    iconv.waitForFinished(-1);
    const double iconvMs = ms(t);

    std::printf("SaveEncoded ISO-8859-2: %8.1f ms  (%.2f x iconv)\n", save[0], save[0] / iconvMs);
    std::printf("SaveEncoded CP-1250:    %8.1f ms  (%.2f x iconv)\n", save[1], save[1] / iconvMs);
    std::printf("iconv -f UTF-8 -t ISO-8859-2 of the same text: %8.1f ms (goal: SaveEncoded within 2 x)\n", iconvMs);
    return 0;
}
