// Uploads files over SFTP in one session, as the publish run sends them:
//
//     bench_sftp HOST:PORT USER FOLDER FILE...
//
// The key login uses ~/.ssh (HOME), the server's key is trusted by
// ZK_BENCH_HOST_KEY ("SHA256:..."). Prints "login_ms=… upload_ms=… bytes=…
// files=… peak_kb=…"; each file is read from disk while it is sent.
#include "SftpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "PeakMemory.h"

using namespace zk;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_sftp HOST:PORT USER FOLDER FILE...\n");
        return 2;
    }
    PublishSettings settings{QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), {}, {}, false,
                             FtpSecurity::Plain, {}, {}};
    settings.protocol = PublishProtocol::Sftp;
    settings.trustedHostKey = qEnvironmentVariable("ZK_BENCH_HOST_KEY");
    SftpPublishClient client;
    QElapsedTimer t;
    t.start();
    try {
        client.logIn(settings);
        if (qstrcmp(argv[3], ".") != 0)
            client.enterFolder(QString::fromLocal8Bit(argv[3]));
        const double loginMs = t.nsecsElapsed() / 1e6;
        t.restart();
        qint64 bytes = 0;
        for (int i = 4; i < argc; ++i) {
            QFile f(QString::fromLocal8Bit(argv[i]));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", argv[i]);
                return 1;
            }
            bytes += f.size();
            client.send(&f, QFileInfo(f).fileName(), 0);
        }
        const double uploadMs = t.nsecsElapsed() / 1e6;
        client.close();
        std::printf("login_ms=%.2f upload_ms=%.2f bytes=%lld files=%d peak_kb=%ld\n", loginMs, uploadMs,
                    static_cast<long long>(bytes), argc - 4, peakKilobytes());
    } catch (const ETcpIpError &e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(e.text()), qPrintable(e.reason));
        return 1;
    }
    return 0;
}
