// Writes the seed corpus of every fuzz target: small valid inputs made here,
// nothing copied from elsewhere. Run by scripts/make_corpus.sh.
#include "../tests/imaging/TestPictures.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

using zk::testing::writeBytes;

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: zk_make_corpus CORPUS_FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const auto seed = [&](const char *target, const char *name, const QByteArray &content) {
        QDir().mkpath(root + u'/' + QString::fromLatin1(target));
        writeBytes(root + u'/' + QString::fromLatin1(target) + QStringLiteral("/seed-") + QString::fromLatin1(name), content);
    };
    const auto path = [&](const char *target, const char *name) {
        QDir().mkpath(root + u'/' + QString::fromLatin1(target));
        return root + u'/' + QString::fromLatin1(target) + QStringLiteral("/seed-") + QString::fromLatin1(name);
    };
    bool ok = zk::testing::writeGif(path("gif", "one-frame.gif"), 5, 3) && zk::testing::writeGif(path("gif", "two-frames.gif"), 4, 4, 2)
              && zk::testing::writeGif(path("gif", "interlaced.gif"), 3, 7, 1, true);
    QImage rgb(6, 4, QImage::Format_RGB32);
    rgb.fill(QColor(200, 40, 10));
    const unsigned char cmyk[4] = {10, 20, 30, 40};
    ok = ok && zk::testing::writeJpeg(path("jpeg", "baseline.jpg"), rgb) && zk::testing::writeJpeg(path("jpeg", "progressive.jpg"), rgb, true)
         && zk::testing::writeCmykJpeg(path("jpeg", "cmyk.jpg"), 5, 5, cmyk);

    seed("settings", "store.ini",
         "; Zentarek Light settings, laid out as registry keys and values.\n\n"
         "[Software\\Quorvel Software\\Zentarek\\Light\\Ogolne]\nLiczba_uruchomien=\"3\"\nSciezka=\"/opt/zentarek/\"\n\n"
         "[Software\\Quorvel Software\\Zentarek\\Light\\E-mail]\nAdres_0=\"jan@example.pl\"\nAdres_1=\"\"\n"
         "Binarny=hex:01,ff,00\n");
    seed("settings", "quotes.ini", "[Klucz]\nTekst=\"z \\\"cudzysłowem\\\" i \\\\ ukośnikiem\"\n[Pusty]\n");
    seed("shortcut", "onet.url", "[InternetShortcut]\r\nURL=http://www.onet.pl/\r\n");
    seed("shortcut", "two-sections.url", "[DEFAULT]\r\nBASEURL=http://a.pl/\r\n[InternetShortcut]\r\nurl = http://b.pl/ \r\nIconIndex=1\r\n");
    seed("bookmarks", "chromium.json",
         R"({"roots": {"bookmark_bar": {"type": "folder", "name": "Pasek", "children": [
            {"type": "url", "name": "Onet", "url": "http://www.onet.pl/"},
            {"type": "folder", "name": "Wiadomości", "children": [{"type": "url", "name": "Łódź", "url": "http://lodz.pl/"}]}]},
            "other": {"type": "folder", "name": "Inne", "children": []}}, "version": 1})");
    seed("help", "topics.hlp",
         "; komentarz\n\n@contents Spis treści\nWstęp.\n\n@1000,1001 Pierwszy temat\nAkapit pierwszy.\n\nAkapit drugi.\n"
         "@1002 Drugi temat\nTekst.\n");
    seed("pasv", "plain.txt", "227 Entering Passive Mode (127,0,0,1,195,80).");
    seed("pasv", "no-brackets.txt", "227 =192,168,1,2,4,1");
    seed("ftp_reply", "login.txt", "220 Witaj\r\n331 Haslo\r\n230-Zalogowany\r\n230 OK\r\n");
    seed("ftp_reply", "features.txt", "211-Features:\r\n UTF8\r\n MDTM\r\n211 End\r\n550 Brak\r\n421 Koniec\r\n");
    seed("references", "tags.html",
         "<IMG SRC=\"obrazek.gif\" ALT='src=x.gif'> <A HREF=strona.html>x</A> <BODY BACKGROUND='tlo.jpg'>"
         " <IMG LOWSRC=\"/home/jan/a.gif\" DYNSRC=\"file:///c:/film.avi\" data-src=\"nie.gif\">");
    if (!ok) {
        std::fprintf(stderr, "zk_make_corpus: a picture could not be written\n");
        return 1;
    }
    return 0;
}
