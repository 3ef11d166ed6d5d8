#pragma once

#include <QByteArray>

class QTextDocument;
class QFont;

namespace zk {

// The characters from `start` to `end` of a highlighted document as RTF,
// with the colours and styles the highlighter gave them, for the clipboard.
QByteArray rtfOfRange(const QTextDocument *document, int start, int end, const QFont &font);

} // namespace zk
