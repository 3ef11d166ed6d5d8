#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zk {

inline const QString EncodingIso = QStringLiteral("ISO-8859-2");
inline const QString EncodingWindows = QStringLiteral("CP-1250");
inline const QString EncodingUtf8 = QStringLiteral("UTF-8");

// The name a page gives its character set in its head ("iso-8859-2",
// "windows-1250", "utf-8"), for the same encoding its bytes are written in.
QString charsetName(const QString &encoding);

// Writes one character in the page's character set: its byte when the set
// holds it, else a decimal character reference "&#NNNN;" so the browser
// still shows it. `encoding` is "ISO-8859-2" or "CP-1250"; in "UTF-8" every
// character is written as itself.
void KodujZnak(char32_t character, const QString &encoding, QByteArray &out);

// The whole text in the page's character set.
QByteArray encodeText(QStringView text, const QString &encoding);

using MessageSink = std::function<void(const QString &caption, const QString &text)>;

// The lines, each followed by CR LF, in the page's character set.
QByteArray encodeLines(const QStringList &lines, const QString &encoding);

// Writes the lines, each followed by CR LF, to the target in the chosen
// character set, through a temporary file beside the target: the target is
// replaced only when it has been written completely and synced. A failure is
// told through `message` with its reason; the caller then reports it naming
// the target.
bool SaveEncoded(const QStringList &lines, const QString &target, const QString &encoding,
                 const MessageSink &message);

} // namespace zk
