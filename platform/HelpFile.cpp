#include "HelpFile.h"

#include <QFile>
#include <QFileInfo>

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

std::optional<HelpFile> HelpFile::load(const QString &path, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<HelpFile> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("plik nie istnieje"));
    if (info.isDir())
        return fail(QStringLiteral("w miejscu pliku jest folder"));
    if (info.size() > MaxSize)
        return fail(QStringLiteral("plik jest za duży"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(f.errorString());
    const QByteArray bytes = f.read(MaxSize);
    if (bytes.contains('\0'))
        return fail(QStringLiteral("to nie jest plik pomocy, lecz plik binarny"));
    HelpFile file = parse(QString::fromUtf8(bytes));
    if (file.topics().isEmpty())
        return fail(QStringLiteral("plik nie zawiera żadnego tematu pomocy"));
    return file;
}

const HelpTopic *HelpFile::topic(int context) const
{
    for (const HelpTopic &t : m_topics)
        if (t.contexts.contains(context))
            return &t;
    return nullptr;
}

} // namespace zk
