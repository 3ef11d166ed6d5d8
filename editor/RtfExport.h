#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;
class QFont;

namespace zk {

// The characters from `start` to `end` of a highlighted document as RTF,
// with the colours and styles the highlighter gave them, for the clipboard.
QByteArray rtfOfRange(const QTextDocument *document, int start, int end, const QFont &font);
// The same characters as an HTML fragment in a <pre>, coloured alike.
QString htmlOfRange(const QTextDocument *document, int start, int end, const QFont &font);

} // namespace zk
