#include "SoundFiles.h"

#include <QFile>
#include <QtEndian>
#include <QFileInfo>

namespace zk {

bool isWaveFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    bool format = false;
    while (!f.atEnd()) { // walk the chunks: "fmt " must come, then "data"
        const QByteArray chunk = f.read(8);
        if (chunk.size() < 8)
            return false;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt "))
            format = size >= 16;
        if (chunk.startsWith("data"))
            return format && size > 0;
        if (!f.seek(f.pos() + size + (size & 1)))
            return false;
    }
    return false;
}

bool isMidiFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(22);
    return head.size() >= 22 && head.startsWith("MThd") && head.mid(14, 4) == "MTrk";
}

QString generalMidiSoundFont()
{
    for (const char *candidate : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"})
        if (QFileInfo::exists(QString::fromLatin1(candidate)))
            return QString::fromLatin1(candidate);
    return {};
}

} // namespace zk
