// The HTML grammar's speed: tokenizing throughput on a 50 MB page, the time
// to load a 5 MB page into the editor until every block is highlighted
// beside the same load with a one-rule highlighter (Qt's own floor), the
// work of re-highlighting after one typed character, and, when installed,
// kate-syntax-highlighter colouring the same 50 MB in the same run.
//
//     QT_QPA_PLATFORM=offscreen build/bench/bench_editor [rounds]
#include "HtmlGrammar.h"
#include "HtmlHighlighter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QSyntaxHighlighter>
#include <QTemporaryDir>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zk;

static const char *const Page =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">\n"
    "<HTML><HEAD><TITLE>Strona domowa %1</TITLE>\n"
    "<!-- Komentarz strony, wiersz pierwszy\n     i drugi wiersz komentarza -->\n"
    "<SCRIPT LANGUAGE=\"JavaScript\">\n// licznik odwiedzin\nfunction licz(n) { var x = Math.round(n * 2.5); "
    "if (x >= 10) alert(\"dużo: \" + x); return x; }\n/* blok\n komentarza */\n</SCRIPT>\n"
    "<SCRIPT LANGUAGE=\"VBScript\">\n' komentarz VB\nDim s: s = UCase(\"tekst\") & CStr(12)\nREM koniec\n</SCRIPT>\n"
    "</HEAD><BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">\n"
    "<H1 ALIGN=CENTER><FONT COLOR=\"#FF0000\">Zażółć gęślą jaźń &nbsp; &copy; 2026</FONT></H1>\n"
    "<P>Odwiedź <A HREF=\"http://www.example.pl/strona.html\" TARGET=\"_blank\">moją stronę</A> albo napisz "
    "<A HREF=\"mailto:jan@example.pl\">list</A>.</P>\n"
    "<IMG SRC=\"obrazek.gif\" WIDTH=120 HEIGHT=80 ALT=\"Obrazek\" BORDER=0>\n"
    "<TABLE WIDTH=\"100%\"><TR><TD>komórka</TD><TD>druga komórka</TD></TR></TABLE>\n</BODY></HTML>\n";

static QString makeText(qint64 bytes)
{
    QString text;
    text.reserve(bytes);
    for (int i = 0; text.size() < bytes; ++i)
        text += QString::fromUtf8(Page).arg(i);
    return text;
}

class OneRule : public QSyntaxHighlighter {
public:
    using QSyntaxHighlighter::QSyntaxHighlighter;
    QTextCharFormat format;
    void highlightBlock(const QString &text) override
    {
        for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i + 1))
            setFormat(int(i), 1, format);
    }
};

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

static double loadMs(const QString &text, bool ours, qint64 *blocksAfterEdit = nullptr, double *editMs = nullptr)
{
    QPlainTextEdit editor;
    QObject *h = nullptr;
    HtmlHighlighter *html = nullptr;
    if (ours)
        h = html = new HtmlHighlighter(editor.document());
    else
        h = new OneRule(editor.document());
    QElapsedTimer t;
    t.start();
    editor.setPlainText(text); // the highlighter colours every block before this returns
    const double ms = t.nsecsElapsed() / 1e6;
    if (html && blocksAfterEdit) {
        html->resetCounter();
        QTextCursor c(editor.document()->findBlockByNumber(editor.document()->blockCount() / 2));
        t.restart();
        c.insertText(QStringLiteral("x"));
        *editMs = t.nsecsElapsed() / 1e6;
        *blocksAfterEdit = html->highlightedBlocks();
    }
    delete h;
    return ms;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString big = makeText(50 << 20);
    const QString small = makeText(5 << 20);
    const QStringList lines = big.split(u'\n');
    const double mb = big.toUtf8().size() / 1048576.0;

    const HtmlGrammar grammar;
    QElapsedTimer t;
    t.start();
    int state = HtmlGrammar::InitialState;
    qint64 runs = 0;
    for (const QString &line : lines)
        state = grammar.highlightLine(line, state, [&](int, int, HtmlClass) { ++runs; });
    const double tokenize = t.nsecsElapsed() / 1e9;
    std::printf("grammar: %.1f MB in %.2f s = %.1f MB/s (%lld runs)\n", mb, tokenize, mb / tokenize, static_cast<long long>(runs));

    // Rounds that load with each highlighter, the first of the two alternating;
    // the ratio is the median of the rounds' own.
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> floors, ourLoads, ratios;
    qint64 blocks = 0;
    double edit = 0;
    for (int r = 0; r < rounds; ++r) {
        const bool floorFirst = r % 2 == 0;
        const double first = floorFirst ? loadMs(small, false) : loadMs(small, true, &blocks, &edit);
        const double second = floorFirst ? loadMs(small, true, &blocks, &edit) : loadMs(small, false);
        floors.push_back(floorFirst ? first : second);
        ourLoads.push_back(floorFirst ? second : first);
        ratios.push_back(ourLoads.back() / floors.back());
    }
    std::printf("load 5 MB into the editor, %d rounds alternating: one-rule highlighter %.0f ms, HTML grammar %.0f ms "
                "(medians; ratio paired by round %.2f, goal <= 1.2)\n",
                rounds, median(floors), median(ourLoads), median(ratios));
    std::printf("one character typed in the middle: %lld block(s) re-highlighted in %.3f ms\n",
                static_cast<long long>(blocks), edit);

    const QString kate = QStandardPaths::findExecutable(QStringLiteral("kate-syntax-highlighter"));
    if (kate.isEmpty()) {
        std::printf("kate-syntax-highlighter: not installed (apt-get install libkf5syntaxhighlighting-tools)\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("page.html")));
    file.open(QIODevice::WriteOnly);
    file.write(big.toUtf8());
    file.close();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    t.restart();
    p.start(kate, {QStringLiteral("-f"), QStringLiteral("ansi"), QStringLiteral("-s"), QStringLiteral("HTML"), file.fileName()});
    p.waitForFinished(-1);
    const double kateSeconds = t.nsecsElapsed() / 1e9;
    std::printf("kate-syntax-highlighter (ansi): %.2f s = %.1f MB/s; grammar / kate = %.1fx (goal >= 4)\n", kateSeconds,
                mb / kateSeconds, (mb / tokenize) / (mb / kateSeconds));
    return 0;
}
