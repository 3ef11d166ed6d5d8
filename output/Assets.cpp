#include "Assets.h"

#include "WebFiles.h"

#include "AppError.h"
#include "MidiRecording.h"
#include "PageGenerator.h"
#include "SoundFiles.h"
#include "Paths.h"
#include "References.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <memory>
#include <vector>

#include <QFile>

#include "CheckedFile.h"

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zk {

namespace {

QCollator caseInsensitive(const QLocale &locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

QString AssetPlan::sourceFor(const QString &target) const
{
    for (const TravellingFile &f : files)
        if (f.target == target)
            return f.source;
    return {};
}

QStringList AssetPlan::sources() const
{
    QStringList out;
    out.reserve(files.size());
    for (const TravellingFile &f : files)
        out << f.source;
    return out;
}

QStringList publicationFiles(const AssetPlan &plan, const QString &pageFile, const QLocale &locale)
{
    QStringList files = plan.sources();
    const QCollator collator = caseInsensitive(locale);
    const auto at = std::upper_bound(files.begin(), files.end(), pageFile,
                                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    files.insert(at, pageFile);
    return files;
}

QStringList formFiles(const PageDescription &d)
{
    QStringList paths;
    const auto add = [&](bool on, const QString &path) {
        if (on && !path.isEmpty())
            paths << path;
    };
    add(!d.PopUp_Atrybuty_Tlo_Kolor, d.BackgroundImagePath);
    add(d.Check_Play, d.Edit_Src);
    add(d.Check_Uklad_Logo, d.Edit_Uklad_Logo);
    add(d.Check_Uklad_Odnosniki_Ikona, d.Edit_Uklad_Odnosniki_Ikonka);
    add(d.Check_Uklad_Adresy_Ikona, d.Edit_Uklad_Adresy_Ikona);
    return paths;
}

namespace {

// Every distinct reference of the page, trimmed, form files first.
QStringList pageReferences(const PageDescription &d)
{
    QStringList refs;
    QSet<QString> seen;
    const auto add = [&](const QString &ref) {
        const QString r = ref.trimmed();
        if (!r.isEmpty() && !seen.contains(r)) {
            seen.insert(r);
            refs << r;
        }
    };
    for (const QString &path : formFiles(d))
        add(path);
    for (const QString &line : d.Edytorek)
        if (line.contains(u'='))
            for (const QString &ref : referencesInLine(line))
                add(ref);
    return refs;
}

// Two paths name one file when they reach the same inode (through a link,
// "..", or a hard link). The canonical path said the same at the cost of a
// readlink per folder of the path, for every picture of a page.
QString identityOf(const QFileInfo &file, const QString &path)
{
    struct stat info {};
    if (file.isFile() && ::stat(QFile::encodeName(path).constData(), &info) == 0)
        return QStringLiteral("%1:%2").arg(info.st_dev).arg(info.st_ino);
    return QDir::cleanPath(path);
}

class Planner {
public:
    Planner(const AssetContext &context) : m_context(context)
    {
        for (const QString &name : context.reservedNames)
            m_taken.insert(name.toLower());
    }

    // "img/a.gif" stays "img/a.gif" in the page; the file goes there too.
    void addRelative(const QString &ref)
    {
        if (m_recorded.contains(ref))
            return;
        const QString target = relativeTarget(ref);
        if (target.isEmpty())
            return;
        const QString source = withTrailingSeparator(m_context.baseFolder) + target;
        const QFileInfo file(source);
        if (!file.isFile())
            return; // perhaps a page that is already on the server
        m_targets.insert(identityOf(file, source), target);
        m_taken.insert(target.section(u'/', 0, 0).toLower());
        addFile(source, target);
    }

    // "/home/jan/logo.gif" becomes "logo.gif", or "logo-2.gif" when that name is taken.
    void addLocal(const QString &ref)
    {
        if (m_recorded.contains(ref))
            return;
        const ReferenceParts parts = localParts(ref);
        const QString path = localPathOf(parts);
        const QFileInfo file(path);
        const QString id = identityOf(file, path);
        QString name = m_targets.value(id);
        if (name.isEmpty()) {
            name = uniqueName(fileNameOf(path));
            if (name.isEmpty()) {
                m_plan.missing << ref;
                return;
            }
            m_targets.insert(id, name);
            m_taken.insert(name.toLower());
            if (file.isFile())
                addFile(path, name);
            else
                m_plan.missing << ref;
        }
        m_plan.pageNames.insert(ref, name + parts.suffix);
    }

    // The page's MIDI sound: its recording travels in its place, under the
    // same name (and folder, for a relative reference) with ".opus".
    void addMelody(const QString &ref)
    {
        const ReferenceKind kind = classifyReference(ref);
        QString target = kind == ReferenceKind::Relative ? relativeTarget(ref) : QString();
        const QString path = kind == ReferenceKind::LocalPath ? localPathOf(localParts(ref))
                             : target.isEmpty()                ? QString()
                                                               : withTrailingSeparator(m_context.baseFolder) + target;
        if (path.isEmpty() || !isMidiFile(path))
            return;
        const QString recording = cachedRecordingPath(path);
        if (recording.isEmpty())
            return;
        const QString suffix = u'.' + RecordingSuffix;
        if (target.isEmpty()) {
            target = uniqueName(QFileInfo(path).completeBaseName() + suffix);
            m_taken.insert(target.toLower());
        } else {
            target = target.left(target.size() - QFileInfo(target).suffix().size() - 1) + suffix;
            m_taken.insert(target.section(u'/', 0, 0).toLower());
        }
        addFile(recording, target);
        m_plan.pageNames.insert(ref, target);
        m_plan.melody = path;
        m_plan.melodyRecording = recording;
        m_recorded.insert(ref);
    }

    AssetPlan result()
    {
        const QCollator collator = caseInsensitive(m_context.locale);
        std::stable_sort(m_plan.files.begin(), m_plan.files.end(), [&](const TravellingFile &a, const TravellingFile &b) {
            return collator.compare(a.source, b.source) < 0;
        });
        return m_plan;
    }

private:
    // The cleaned path of a relative reference below the base folder, or "".
    QString relativeTarget(const QString &ref) const
    {
        if (m_context.baseFolder.isEmpty())
            return {};
        QString path = splitReference(ref).path;
        path.replace(u'\\', u'/');
        const QString target = QDir::cleanPath(QUrl::fromPercentEncoding(path.toUtf8()));
        if (target.isEmpty() || target == u"." || target == u".." || target.startsWith(QStringLiteral("../")))
            return {}; // outside the page's folder: it is already where the page expects it
        return target;
    }

    static ReferenceParts localParts(const QString &ref)
    {
        if (!QFileInfo(ref).isFile() || ref.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
            return splitReference(ref);
        return ReferenceParts{ref, QString()};
    }

    void addFile(const QString &source, const QString &target)
    {
        if (m_targetsInUse.contains(target))
            return;
        m_targetsInUse.insert(target);
        m_plan.files << TravellingFile{source, target};
    }

    QString uniqueName(const QString &name) const
    {
        if (name.isEmpty() || !m_taken.contains(name.toLower()))
            return name;
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString stem = dot > 0 ? name.left(dot) : name;
        const QString extension = dot > 0 ? name.mid(dot) : QString();
        for (int n = 2;; ++n) {
            const QString candidate = QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(extension);
            if (!m_taken.contains(candidate.toLower()))
                return candidate;
        }
    }

    const AssetContext &m_context;
    AssetPlan m_plan;
    QHash<QString, QString> m_targets; // file identity -> target
    QSet<QString> m_taken;             // names in the page's folder, lower case
    QSet<QString> m_targetsInUse;
    QSet<QString> m_recorded; // references that travel as a recording
};

} // namespace

AssetPlan Gen_List(const PageDescription &d, const AssetContext &context)
{
    const QStringList refs = pageReferences(d);
    AssetContext withOwn = context;
    if (isHtml5(d.Lista_Atrybuty_DocType)) // the page's stylesheet and icons keep their names
        withOwn.reservedNames << webFileNames(d);
    Planner planner(withOwn);
    if (d.Check_Play && isHtml5(d.Lista_Atrybuty_DocType) && !d.Edit_Src.trimmed().isEmpty())
        planner.addMelody(d.Edit_Src.trimmed()); // before the others: its name must not be taken by the MIDI file
    // Relative references first: their names cannot change, the others can.
    for (const QString &ref : refs)
        if (classifyReference(ref) == ReferenceKind::Relative)
            planner.addRelative(ref);
    for (const QString &ref : refs)
        if (classifyReference(ref) == ReferenceKind::LocalPath)
            planner.addLocal(ref);
    return planner.result();
}

namespace {

bool sameBytes(QFile &a, QFile &b)
{
    while (!a.atEnd()) {
        const QByteArray x = a.read(1 << 18);
        if (x.isEmpty() || b.read(x.size()) != x)
            return false;
    }
    return b.atEnd();
}

} // namespace

bool copyWouldChange(const QString &source, const QString &target)
{
    const QFileInfo from(source);
    const QFileInfo to(target);
    if (!to.exists())
        return true;
    if (identityOf(from, source) == identityOf(to, target))
        return false;
    if (!to.isFile() || from.size() != to.size())
        return true;
    QFile a(source);
    QFile b(target);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return true; // the copy itself then says what is wrong
    return !sameBytes(a, b);
}

QString travellingFileProblem(const QString &source)
{
    struct stat info {};
    if (::stat(QFile::encodeName(source).constData(), &info) != 0)
        return systemErrorText(errno);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("to nie jest zwykły plik (urządzenie, potok lub folder)");
    struct statfs system {};
    constexpr long ProcMagic = 0x9fa0, SysMagic = 0x62656572, DebugMagic = 0x64626720;
    if (::statfs(QFile::encodeName(source).constData(), &system) == 0
        && (system.f_type == ProcMagic || system.f_type == SysMagic || system.f_type == DebugMagic))
        return QStringLiteral("to plik systemowy, a nie plik na dysku");
    return {};
}

namespace {

AppError cannotWrite(const CheckedFile &out)
{
    return AppError(QStringLiteral("Nie można zapisać pliku \"%1\": %2!").arg(out.target(), out.reason()));
}

// The bytes of `source` into `out` (opened here); raises AppError naming the file.
void writeCopy(const QString &source, CheckedFile &out)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AppError(QStringLiteral("Nie można otworzyć pliku \"%1\": %2!").arg(source, systemErrorText(errno)));
    const int in = file.handle();
    struct stat info {};
    ::fstat(in, &info);
    if (!out.open())
        throw cannotWrite(out);
    // One buffer of the heap's small sizes for every picture, and no read
    // past a short one that reached the size the file has.
    constexpr ssize_t Chunk = 64 * 1024;
    const std::unique_ptr<char[]> buffer(new char[Chunk]);
    for (off_t copied = 0;;) {
        const ssize_t got = ::read(in, buffer.get(), Chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw AppError(QStringLiteral("Nie można odczytać pliku \"%1\": %2!").arg(source, systemErrorText(errno)));
        if (got == 0)
            break;
        if (!out.write(buffer.get(), got))
            throw cannotWrite(out);
        copied += got;
        if (got < Chunk && copied >= info.st_size)
            break;
    }
}

// A copy is needed: the source can travel and the target differs from it.
bool needsCopy(const QString &source, const QString &target)
{
    if (const QString problem = travellingFileProblem(source); !problem.isEmpty())
        throw AppError(QStringLiteral("Nie można skopiować pliku \"%1\": %2!").arg(source, problem));
    return copyWouldChange(source, target);
}

} // namespace

void copyReplacing(const QString &source, const QString &target)
{
    if (!needsCopy(source, target))
        return;
    CheckedFile out(target);
    writeCopy(source, out);
    if (!out.commit())
        throw cannotWrite(out);
}

void copyAllReplacing(const QList<std::pair<QString, QString>> &copies)
{
    constexpr size_t OpenAtOnce = 64; // far below any limit on open files
    std::vector<std::unique_ptr<CheckedFile>> pending;
    QSet<QString> folders;
    const auto commitPending = [&] {
        for (const auto &out : pending) {
            if (!out->commit(CheckedFile::FolderSync::Later))
                throw cannotWrite(*out);
            folders.insert(QFileInfo(out->target()).absolutePath());
        }
        pending.clear();
    };
    for (const auto &[source, target] : copies) {
        if (!needsCopy(source, target))
            continue;
        pending.push_back(std::make_unique<CheckedFile>(target));
        writeCopy(source, *pending.back());
        pending.back()->startWriteback();
        if (pending.size() == OpenAtOnce)
            commitPending();
    }
    commitPending();
    for (const QString &folder : std::as_const(folders))
        if (const auto why = syncFolder(folder))
            throw AppError(QStringLiteral("Nie można zapisać foldera \"%1\": %2!").arg(folder, *why));
}

} // namespace zk
