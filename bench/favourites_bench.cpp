// Opening the favourites button on a Favorites folder of many shortcuts:
// the scan (listing, sorting, reading the shortcuts shown) and the menu.
//
//     QT_QPA_PLATFORM=offscreen build/bench/bench_favourites FOLDER [count]
//
// The folder is filled with `count` shortcuts (100,000 unless told) the
// first time and reused afterwards, since making them takes longer than
// what is measured.
#include "WWWBtn97.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>

#include <cstdio>

using namespace zk;

static bool fill(const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile f(folder + QStringLiteral("/s%1.url").arg(i, 6, 10, QChar(u'0')));
        if (f.exists())
            continue;
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write("[InternetShortcut]\r\nURL=http://x.pl/" + QByteArray::number(i) + "\r\n");
    }
    return true;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_favourites FOLDER [count]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 100000;
    if (!fill(folder, count))
        return 1;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        const FavouritesScan scan = scanFavourites(folder);
        const qint64 scanned = clock.elapsed();
        QMenu menu;
        buildFavoritesMenu(&menu, scan.records, {}, {}, scan.notes());
        std::printf("run %d: %d shortcuts, scan %lld ms, menu %lld ms, %lld items shown\n", run + 1, count,
                    scanned, clock.elapsed() - scanned, qint64(menu.actions().size()));
    }
    return 0;
}
