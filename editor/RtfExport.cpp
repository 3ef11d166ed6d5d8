#include "RtfExport.h"

#include <QFont>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace zk {

namespace {

struct Run {
    QString text;
    QTextCharFormat format;
};

class ColorTable {
public:
    int indexOf(const QColor &c)
    {
        if (!c.isValid())
            return 0;
        const qsizetype i = m_colors.indexOf(c.rgb());
        if (i >= 0)
            return int(i) + 1;
        m_colors << c.rgb();
        return int(m_colors.size());
    }
    QByteArray rtf() const
    {
        QByteArray out = "{\\colortbl;";
        for (QRgb c : m_colors)
            out += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c)) + "\\blue"
                   + QByteArray::number(qBlue(c)) + ';';
        return out + '}';
    }

private:
    QList<QRgb> m_colors;
};

QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}')
            out += '\\', out += char(u);
        else if (u == u'\t')
            out += "\\tab ";
        else if (u < 0x80)
            out += char(u);
        else
            out += "\\u" + QByteArray::number(qint16(u)) + '?';
    }
    return out;
}

// The runs of one block between the block-relative positions from and to.
QList<Run> runsOf(const QTextBlock &block, int from, int to)
{
    const QString text = block.text();
    QList<QTextLayout::FormatRange> ranges = block.layout() ? block.layout()->formats() : QList<QTextLayout::FormatRange>{};
    std::sort(ranges.begin(), ranges.end(), [](const auto &a, const auto &b) { return a.start < b.start; });
    QList<Run> runs;
    int pos = from;
    for (const QTextLayout::FormatRange &r : ranges) {
        const int s = std::max(r.start, pos), e = std::min(r.start + r.length, to);
        if (e <= s)
            continue;
        if (s > pos)
            runs.append({text.mid(pos, s - pos), {}});
        runs.append({text.mid(s, e - s), r.format});
        pos = e;
    }
    if (pos < to)
        runs.append({text.mid(pos, to - pos), {}});
    return runs;
}

} // namespace

// Every run of the range in order, and the end of each block that the range
// goes past.
template <typename OnRun, typename OnBreak>
static void forEachRun(const QTextDocument *document, int start, int end, OnRun onRun, OnBreak onBreak)
{
    for (QTextBlock b = document->findBlock(start); b.isValid() && b.position() <= end; b = b.next()) {
        const int from = std::max(0, start - b.position());
        const int to = std::min(int(b.text().size()), end - b.position());
        for (const Run &run : runsOf(b, from, to))
            onRun(run);
        if (b.position() + b.length() - 1 < end)
            onBreak();
    }
}

QByteArray rtfOfRange(const QTextDocument *document, int start, int end, const QFont &font)
{
    ColorTable colors;
    QByteArray body;
    forEachRun(
        document, start, end,
        [&](const Run &run) {
            const QTextCharFormat &f = run.format;
            body += "{\\cf" + QByteArray::number(colors.indexOf(f.foreground().color()));
            if (f.background().style() != Qt::NoBrush)
                body += "\\highlight" + QByteArray::number(colors.indexOf(f.background().color()));
            if (f.fontWeight() >= QFont::Bold)
                body += "\\b";
            if (f.fontItalic())
                body += "\\i";
            if (f.fontUnderline())
                body += "\\ul";
            body += ' ' + escaped(run.text) + '}';
        },
        [&] { body += "\\par\n"; });
    const int halfPoints = font.pointSize() > 0 ? font.pointSize() * 2 : 20;
    return "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fmodern " + escaped(font.family()) + ";}}" + colors.rtf()
           + "\\f0\\fs" + QByteArray::number(halfPoints) + ' ' + body + '}';
}

QString htmlOfRange(const QTextDocument *document, int start, int end, const QFont &font)
{
    QString body;
    forEachRun(
        document, start, end,
        [&](const Run &run) {
            const QTextCharFormat &f = run.format;
            QStringList style;
            if (f.foreground().style() != Qt::NoBrush)
                style << QStringLiteral("color:") + f.foreground().color().name();
            if (f.background().style() != Qt::NoBrush)
                style << QStringLiteral("background-color:") + f.background().color().name();
            if (f.fontWeight() >= QFont::Bold)
                style << QStringLiteral("font-weight:bold");
            if (f.fontItalic())
                style << QStringLiteral("font-style:italic");
            if (f.fontUnderline())
                style << QStringLiteral("text-decoration:underline");
            const QString text = run.text.toHtmlEscaped();
            body += style.isEmpty() ? text
                                    : QStringLiteral("<span style=\"%1\">%2</span>").arg(style.join(u';'), text);
        },
        [&] { body += u'\n'; });
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><pre style=\"font-family:'%1'\">%2</pre></body></html>")
        .arg(font.family().toHtmlEscaped(), body);
}

} // namespace zk
