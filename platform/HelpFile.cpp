#include "HelpFile.h"

#include <QFile>

namespace zk {

namespace {

struct TopicHeader {
    bool isContents = false;
    QList<int> contexts;
    QString title;
};

std::optional<TopicHeader> parseHeader(const QString &line)
{
    const QString rest = line.mid(1);
    const qsizetype space = rest.indexOf(u' ');
    const QString key = space < 0 ? rest : rest.left(space);
    TopicHeader header;
    header.title = space < 0 ? QString() : rest.mid(space + 1).trimmed();
    if (key == QStringLiteral("contents")) {
        header.isContents = true;
        return header;
    }
    for (const QString &part : key.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok)
            return std::nullopt;
        header.contexts << n;
    }
    if (header.contexts.isEmpty())
        return std::nullopt;
    return header;
}

void addLine(HelpTopic &topic, const QString &line, bool &paragraphOpen)
{
    const QString text = line.trimmed();
    if (text.isEmpty()) {
        paragraphOpen = false;
        return;
    }
    if (paragraphOpen)
        topic.paragraphs.last() += u' ' + text;
    else
        topic.paragraphs << text;
    paragraphOpen = true;
}

} // namespace

HelpFile HelpFile::parse(const QString &text)
{
    HelpFile file;
    HelpTopic *current = nullptr;
    bool paragraphOpen = false;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u';'))
            continue;
        if (line.startsWith(u'@')) {
            const auto header = parseHeader(line);
            paragraphOpen = false;
            if (!header) {
                current = nullptr;
                continue;
            }
            if (header->isContents) {
                file.m_contents = {{}, header->title, {}};
                current = &file.m_contents;
            } else {
                file.m_topics.append({header->contexts, header->title, {}});
                current = &file.m_topics.last();
            }
            continue;
        }
        if (current)
            addLine(*current, line, paragraphOpen);
    }
    return file;
}

std::optional<HelpFile> HelpFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(QString::fromUtf8(f.readAll()));
}

const HelpTopic *HelpFile::topic(int context) const
{
    for (const HelpTopic &t : m_topics)
        if (t.contexts.contains(context))
            return &t;
    return nullptr;
}

} // namespace zk
