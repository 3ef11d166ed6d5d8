#include "Encoding.h"

#include <QFile>
#include "CheckedFile.h"

#include <QDir>
#include <QStringEncoder>

#include <array>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <limits>

namespace zk {

namespace {

// Unicode code points of the bytes 0x80-0xFF (0: no character).
constexpr std::array<char16_t, 128> Iso8859_2 = {
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087,
    0x0088, 0x0089, 0x008A, 0x008B, 0x008C, 0x008D, 0x008E, 0x008F,
    0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097,
    0x0098, 0x0099, 0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F,
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7,
    0x00A8, 0x0160, 0x015E, 0x0164, 0x0179, 0x00AD, 0x017D, 0x017B,
    0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr std::array<char16_t, 128> Windows1250 = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// For every BMP character, its byte in the set, or 0 when the set has none.
using ReverseTable = std::array<unsigned char, 0x10000>;

ReverseTable reverseOf(const std::array<char16_t, 128> &upper)
{
    ReverseTable table{};
    for (unsigned b = 0; b < 0x80; ++b)
        table[b] = static_cast<unsigned char>(b);
    for (unsigned i = 0; i < upper.size(); ++i)
        if (upper[i] != 0)
            table[upper[i]] = static_cast<unsigned char>(0x80 + i);
    return table;
}

const ReverseTable &tableFor(const QString &encoding)
{
    static const ReverseTable iso = reverseOf(Iso8859_2);
    static const ReverseTable windows = reverseOf(Windows1250);
    return encoding == EncodingWindows ? windows : iso;
}

void appendReference(char32_t c, QByteArray &out)
{
    out += "&#";
    out += QByteArray::number(static_cast<quint32>(c));
    out += ';';
}

void encodeInto(QStringView text, const ReverseTable &table, QByteArray &out)
{
    const qsizetype n = text.size();
    const QChar *p = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        const unsigned char b = table[c];
        if (b != 0 || c == 0) {
            out += static_cast<char>(b);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            appendReference(QChar::surrogateToUcs4(c, p[i + 1].unicode()), out);
            ++i;
        } else {
            appendReference(c, out);
        }
    }
}

const QString ErrorCaption = QStringLiteral("BŁĄD!");

bool hasSurrogate(QStringView text)
{
    const auto *c = reinterpret_cast<const char16_t *>(text.data());
    const qsizetype size = text.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i mask = _mm_set1_epi16(short(0xF800)), surrogate = _mm_set1_epi16(short(0xD800));
    for (; i + 8 <= size; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, mask), surrogate)))
            return true;
    }
#endif
    for (; i < size; ++i)
        if ((c[i] & 0xF800) == 0xD800)
            return true;
    return false;
}

// Encodes the lines in pieces of about `chunk` bytes, handing each to `sink`
// (which says whether it could take it), so a big page is never held twice.
template <typename Sink> bool encodeLinesInto(const QStringList &lines, const QString &encoding, qsizetype chunk, Sink sink)
{
    const ReverseTable &table = tableFor(encoding);
    const bool utf8 = encoding == EncodingUtf8;
    QByteArray buffer;
    buffer.reserve(std::min<qsizetype>(chunk, 1 << 20) + 8192);
    // Each line as toUtf8() would give it, written straight into the buffer.
    // The encoder writes U+FFFD for half of a surrogate pair where toUtf8()
    // writes '?': a line with a surrogate takes toUtf8(), so pages stay as they were.
    QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    for (const QString &line : lines) {
        if (utf8 && hasSurrogate(line)) {
            buffer += line.toUtf8();
        } else if (utf8) {
            const qsizetype used = buffer.size();
            buffer.resize(used + 3 * line.size());
            buffer.resize(toUtf8.appendToBuffer(buffer.data() + used, line) - buffer.constData());
        } else {
            encodeInto(line, table, buffer);
        }
        buffer += "\r\n";
        if (buffer.size() >= chunk) {
            if (!sink(buffer))
                return false;
            buffer.resize(0);
        }
    }
    return sink(buffer);
}

} // namespace

void KodujZnak(char32_t character, const QString &encoding, QByteArray &out)
{
    if (encoding == EncodingUtf8) {
        out += QString::fromUcs4(&character, 1).toUtf8();
    } else if (character < 0x10000) {
        const char16_t c = static_cast<char16_t>(character);
        encodeInto(QStringView(&c, 1), tableFor(encoding), out);
    } else {
        appendReference(character, out);
    }
}

QByteArray encodeText(QStringView text, const QString &encoding)
{
    if (encoding == EncodingUtf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    encodeInto(text, tableFor(encoding), out);
    return out;
}

QByteArray encodeLines(const QStringList &lines, const QString &encoding)
{
    QByteArray out;
    encodeLinesInto(lines, encoding, std::numeric_limits<qsizetype>::max(), [&](const QByteArray &piece) {
        out = piece;
        return true;
    });
    return out;
}

bool SaveEncoded(const QStringList &lines, const QString &target, const QString &encoding, const MessageSink &message)
{
    CheckedFile file(target);
    const bool written = file.open() && encodeLinesInto(lines, encoding, 1 << 20, [&](const QByteArray &piece) {
        return file.write(piece);
    }) && file.commit();
    // On failure the old target stays as it was; the reason names what the user can mend.
    if (!written)
        message(ErrorCaption, QStringLiteral("Błąd przy zapisie strony \"%1\": %2!")
                                  .arg(QDir::toNativeSeparators(target), file.reason()));
    return written;
}

QString charsetName(const QString &encoding)
{
    return encoding == EncodingUtf8      ? QStringLiteral("utf-8")
           : encoding == EncodingWindows ? QStringLiteral("windows-1250")
                                         : QStringLiteral("iso-8859-2");
}

} // namespace zk
