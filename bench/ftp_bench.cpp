// Uploads files with T_FTP in one session and prints the times:
//
//     bench_ftp HOST:PORT USER PASSWORD (pasv|port) (sync|async) FOLDER FILE...
//
// prints "login_ms=… upload_ms=… bytes=… files=… peak_kb=…". Each file is
// read from disk while it is sent, as the publish dialog does.
#include "ftp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "PeakMemory.h"

using namespace zk;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 8) {
        std::fprintf(stderr, "usage: bench_ftp HOST:PORT USER PASSWORD pasv|port sync|async FOLDER FILE...\n");
        return 2;
    }
    T_FTP ftp;
    ftp.Hostname = QString::fromLocal8Bit(argv[1]);
    ftp.Username = QString::fromLocal8Bit(argv[2]);
    ftp.Password = QString::fromLocal8Bit(argv[3]);
    ftp.Passive = qstrcmp(argv[4], "pasv") == 0;
    ftp.Async = qstrcmp(argv[5], "async") == 0;
    if (qEnvironmentVariableIsSet("ZK_BENCH_TLS")) // FTP over TLS; SSL_CERT_FILE names the test authority
        ftp.Security = FtpSecurity::ExplicitTls;
    bool done = false;
    ftp.OnActionComplete = [&](QObject *, t_ftp_mode) { done = true; };
    QElapsedTimer t;
    t.start();
    try {
    ftp.OpenSession();
    if (qstrcmp(argv[6], ".") != 0)
        ftp.ChangeDir(QString::fromLocal8Bit(argv[6]));
    const double loginMs = t.nsecsElapsed() / 1e6;
    qint64 bytes = 0;
    double uploadMs = 0, readMs = 0;
    for (int i = 7; i < argc; ++i) {
        QFile f(QString::fromLocal8Bit(argv[i]));
        t.restart();
        f.open(QIODevice::ReadOnly);
        readMs += t.nsecsElapsed() / 1e6;
        t.restart();
        ftp.DataStream.clear();
        ftp.DataStream.device = &f; // streamed from disk, as the publish dialog sends
        bytes += f.size();
        ftp.URI = QFileInfo(f).fileName();
        done = false;
        ftp.Upload();
        const QDeadlineTimer deadline(120000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        uploadMs += t.nsecsElapsed() / 1e6;
        if (!done) {
            std::fprintf(stderr, "upload of %s did not complete\n", argv[i]);
            return 1;
        }
    }
    ftp.CloseSession();
    std::printf("login_ms=%.2f upload_ms=%.2f read_ms=%.2f bytes=%lld files=%d peak_kb=%ld\n", loginMs, uploadMs, readMs,
                static_cast<long long>(bytes), argc - 7, peakKilobytes());
    } catch (const ETcpIpError &e) {
        std::fprintf(stderr, "bench_ftp: %s (reply %d %s)\n", qPrintable(e.text()), ftp.ReplyCode, qPrintable(ftp.ReplyText));
        return 1;
    }
    return 0;
}
