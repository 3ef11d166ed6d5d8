#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zk {

struct HelpTopic {
    QList<int> contexts; // empty for the contents page
    QString title;
    QStringList paragraphs;
};

// The help file: plain UTF-8 text. A line "@<number>[,<number>...] Title"
// starts a topic for those help context numbers, "@contents Title" the
// contents page; the lines up to the next "@" are its text, paragraphs
// separated by blank lines. Lines starting with ";" are comments.
class HelpFile {
public:
    static HelpFile parse(const QString &text);
    // Nothing, and why in Polish, for a file that cannot be read or holds
    // no help: missing, a folder, over MaxSize, binary, or without topics.
    static std::optional<HelpFile> load(const QString &path, QString *error = nullptr);
    static constexpr qint64 MaxSize = 16 * 1024 * 1024;

    const HelpTopic *topic(int context) const;
    const HelpTopic &contents() const { return m_contents; }
    const QList<HelpTopic> &topics() const { return m_topics; }

private:
    HelpTopic m_contents;
    QList<HelpTopic> m_topics;
};

} // namespace zk
