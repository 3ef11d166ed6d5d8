// Building an HTML5 page with ten 12-megapixel phone photos: the copies made
// for the web cost the first build (goal: under 3 s); later builds take them
// from the cache by the photos' bytes.
//
//     build/bench/bench_photos [build/bin/zentarek]   the benchmark; with the
//                                      program, also a later build by a new process
//     build/bench/bench_photos make FILE  writes one such photo (for bench/lighthouse.sh)
#include "CommandLine.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

using namespace zk;

namespace {

// Light and shade, fine detail and sensor noise, as a phone's photo has:
// JPEG cannot squeeze it much, so the sizes are a photo's, not a drawing's.
QImage photo(int seed)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator noise(seed);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double light = 0.5 + 0.5 * std::sin((x + seed * 300) * 0.0015) * std::cos(y * 0.002);
            const int grain = int(noise.bounded(24)) - 12;
            const int texture = int(18 * std::sin(x * 0.09 + y * 0.05) * std::sin(y * 0.13));
            row[x] = qRgb(std::clamp(int(70 + 150 * light) + grain + texture, 0, 255),
                          std::clamp(int(60 + 110 * light) + grain + texture / 2, 0, 255),
                          std::clamp(int(40 + 70 * light) + grain, 0, 255));
        }
    }
    return image;
}

bool writePhoto(const QString &path, int seed)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    if (!writer.write(photo(seed)))
        return false;
    // A camera's EXIF segment, as every phone writes one: the copies must leave it out.
    const QByteArray exif = QByteArray("Exif\0\0II*\0\x08\0\0\0\0\0\0\0\0\0", 20);
    const QByteArray segment = QByteArray("\xFF\xE1") + char((exif.size() + 2) >> 8) + char((exif.size() + 2) & 0xFF) + exif;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes.left(2) + segment + bytes.mid(2)) > 0;
}

qint64 folderBytes(const QString &folder)
{
    qint64 total = 0;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"make")
        return writePhoto(args[2], 7) ? 0 : 1;

    QTemporaryDir root;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
    const QString project = root.filePath(QStringLiteral("zdjecia.zentarek"));
    QString text;
    qint64 photos = 0;
    for (int i = 1; i <= 10; ++i) {
        const QString name = QStringLiteral("foto%1.jpg").arg(i);
        if (!writePhoto(root.filePath(name), i))
            return 1;
        photos += QFileInfo(root.filePath(name)).size();
        text += QStringLiteral("<p><img src=\\\"%1\\\" alt=\\\"Zdjęcie %2\\\"></p>\\n").arg(name).arg(i);
    }
    QFile file(project);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringLiteral("{\"format\": \"zentarek-projekt\", \"wersja\": 1, \"strona\": {\"typDokumentu\": \"<!DOCTYPE html>\", "
                              "\"kodowanie\": \"UTF-8\", \"nazwaPliku\": \"index.html\", \"tekst\": \"%1\"}}")
                   .arg(text)
                   .toUtf8());
    file.close();

    BuildContext context;
    context.ownerName = QStringLiteral("Jan Kowalski");
    QStringList reports;
    context.report = [&](const QString &t) { reports << t; };
    std::printf("ten 4000 x 3000 JPEG photos, %.1f MB in all\n", photos / 1048576.0);
    for (const char *run : {"first build (copies made)", "again in the same run"}) {
        const QString out = root.filePath(QString::fromLatin1(run).section(u' ', 0, 0));
        QElapsedTimer clock;
        clock.start();
        if (!buildProject(project, out, context)) {
            std::fprintf(stderr, "%s\n", qPrintable(reports.join(u'\n')));
            return 1;
        }
        std::printf("%-30s %7.0f ms  (page with its files: %.1f MB)\n", run, clock.nsecsElapsed() / 1e6,
                    folderBytes(out) / 1048576.0);
    }
    if (args.size() == 2) { // a new process knows the copies by the photos' bytes only
        QElapsedTimer clock;
        clock.start();
        QProcess build;
        build.start(args[1], {QStringLiteral("--build"), project, QStringLiteral("--output"), root.filePath(QStringLiteral("proces"))});
        if (!build.waitForFinished(60000) || build.exitCode() != 0)
            return 1;
        std::printf("%-30s %7.0f ms  (the whole process)\n", "a later build by zentarek", clock.nsecsElapsed() / 1e6);
    }
    std::printf("goal: first build under 3000 ms\n");
    return 0;
}
