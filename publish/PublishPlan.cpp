#include "PublishPlan.h"

#include "PublishLogic.h"

namespace zk {

namespace {

constexpr qsizetype DeletionsWithoutAsking = 20;

bool isStartPage(const QString &remoteName)
{
    return remoteName.compare(QLatin1String("index.html"), Qt::CaseInsensitive) == 0
        || remoteName.compare(QLatin1String("index.htm"), Qt::CaseInsensitive) == 0;
}

// Our own files on the server that are not the page's: the record and the
// pieces of an upload under way.
bool isBookkeeping(const QString &path)
{
    const QString name = path.section(u'/', -1);
    return path == ManifestName || path == BadManifestName
        || (name.startsWith(u'.') && name.endsWith(QLatin1String(".zentarek-czesc")));
}

// Folders, pictures and sounds, then pages, the start page last: the live
// page never points at what has not arrived.
QList<LocalFile> inSendingOrder(const QList<LocalFile> &files)
{
    QList<LocalFile> first, pages, last;
    for (const LocalFile &f : files)
        (isStartPage(f.remoteName) ? last : imageForFile(f.path) == 1 ? pages : first) << f;
    return first + pages + last;
}

// Adopting: a folder this program has no record of is compared by size only.
bool sameBySize(const LocalFile &f, qint64 onServer)
{
    return onServer == f.record.size;
}

bool sameAsRecorded(const LocalFile &f, const ManifestFile &recorded, qint64 onServer)
{
    return recorded.comparable == f.record.comparable && onServer == recorded.size;
}

// An interrupted run placed this very file there already.
bool placedBefore(const PlanInput &in, const LocalFile &f, qint64 onServer)
{
    const auto it = in.journal.placed.constFind(f.remoteName);
    return it != in.journal.placed.cend() && in.journal.baseRevision == in.manifest.manifest.revision
        && it->comparable == f.record.comparable && onServer == it->size;
}

QString noteFor(const PlanInput &in, bool serverHoldsFiles)
{
    switch (in.manifest.state) {
    case ManifestState::Missing:
        return serverHoldsFiles ? QStringLiteral("W folderze na serwerze nie ma zapisu poprzednich publikacji tego programu: "
                                                 "pliki porównano po rozmiarze i wysłano te, które się różnią; niczego nie usunięto.")
                                : QString();
    case ManifestState::Damaged:
    case ManifestState::OtherFormat:
        return QStringLiteral("Zapis poprzednich publikacji na serwerze (%1) był uszkodzony albo w nieznanym formacie: odłożono go "
                              "jako %2, pliki porównano po rozmiarze i niczego nie usunięto.").arg(ManifestName, BadManifestName);
    case ManifestState::OtherTarget:
        return QStringLiteral("Zapis publikacji w tym folderze dotyczy innego foldera (%1): odłożono go jako %2, pliki porównano "
                              "po rozmiarze i niczego nie usunięto.").arg(in.manifest.manifest.target, BadManifestName);
    case ManifestState::Valid:
        if (in.manifest.manifest.revision != in.knownRevision)
            return QStringLiteral("Strona w tym folderze była ostatnio publikowana z innego komputera (%1): przyjęto to, co "
                                  "jest na serwerze.").arg(QLocale(QLocale::Polish).toString(in.manifest.manifest.time.toLocalTime(),
                                                                                             QLocale::ShortFormat));
        return {};
    }
    return {};
}

void planDeletions(const PlanInput &in, const QSet<QString> &published, PublishPlan &plan)
{
    const Manifest &old = in.manifest.manifest;
    for (auto it = old.files.cbegin(); it != old.files.cend(); ++it)
        if (!published.contains(it.key()) && in.server.files.contains(it.key())) {
            plan.doUsuniecia << it.key();
            plan.toDeleteRecords.insert(it.key(), it.value());
        }
    for (auto it = in.server.files.cbegin(); it != in.server.files.cend(); ++it)
        if (!published.contains(it.key()) && !old.files.contains(it.key()) && !isBookkeeping(it.key()))
            plan.nieNasze << it.key();
    plan.nieNasze.sort();
    const qsizetype ours = old.files.size();
    plan.deletionNeedsConsent = plan.doUsuniecia.size() > DeletionsWithoutAsking || plan.doUsuniecia.size() * 5 > ours;
}

// A folder we made goes once nothing is left in it: no file of the
// publication, nobody else's file, no folder below it.
void planFolders(const PlanInput &in, const QStringList &needed, PublishPlan &plan)
{
    const QSet<QString> deleted(plan.doUsuniecia.cbegin(), plan.doUsuniecia.cend());
    QStringList ours = in.manifest.state == ManifestState::Valid ? in.manifest.manifest.folders : QStringList();
    std::sort(ours.begin(), ours.end(), [](const QString &a, const QString &b) { return a.count(u'/') > b.count(u'/'); });
    QSet<QString> removed;
    for (const QString &folder : std::as_const(ours)) {
        if (needed.contains(folder)) {
            plan.next.folders << folder;
            continue;
        }
        if (!in.server.folders.contains(folder))
            continue; // gone already
        const QString inside = folder + u'/';
        const bool holdsFiles = std::any_of(in.server.files.keyBegin(), in.server.files.keyEnd(), [&](const QString &p) {
            return p.startsWith(inside) && !deleted.contains(p);
        });
        const bool holdsFolders = std::any_of(in.server.folders.cbegin(), in.server.folders.cend(), [&](const QString &p) {
            return p.startsWith(inside) && !removed.contains(p);
        });
        if (holdsFiles || holdsFolders) {
            plan.next.folders << folder;
        } else {
            plan.foldersToRemove << folder;
            removed.insert(folder);
        }
    }
}

} // namespace

qint64 PublishPlan::bytesToSend() const
{
    qint64 total = 0;
    for (const LocalFile &f : toSend)
        total += f.record.size;
    return total;
}

QStringList foldersNeeded(const QStringList &remoteNames)
{
    QStringList folders;
    for (const QString &name : remoteNames) {
        const QStringList pieces = name.split(u'/');
        QString folder;
        for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
            folder += (folder.isEmpty() ? QString() : QStringLiteral("/")) + pieces[i];
            if (!folders.contains(folder))
                folders << folder;
        }
    }
    return folders;
}

PublishPlan planPublish(const PlanInput &in)
{
    PublishPlan plan;
    const bool trusted = in.manifest.state == ManifestState::Valid;
    const Manifest &old = in.manifest.manifest;
    QSet<QString> published;
    QStringList names;
    bool serverHoldsFiles = false;
    for (const LocalFile &f : inSendingOrder(in.files)) {
        published.insert(f.remoteName);
        names << f.remoteName;
        plan.next.files.insert(f.remoteName, f.record);
        const qint64 onServer = in.server.files.value(f.remoteName, -1);
        serverHoldsFiles |= onServer >= 0;
        const auto recorded = old.files.constFind(f.remoteName);
        const bool ours = trusted && recorded != old.files.cend();
        bool same = false;
        if (onServer < 0)
            (ours ? plan.brakujace : plan.nowe) << f.remoteName;
        else if (ours ? sameAsRecorded(f, *recorded, onServer) || placedBefore(in, f, onServer)
                      : trusted ? placedBefore(in, f, onServer) : sameBySize(f, onServer))
            same = true;
        else
            plan.zmienione << f.remoteName;
        if (same) {
            plan.bezZmian << f.remoteName;
            // The server keeps its copy: the record keeps what is there.
            if (ours && recorded->comparable == f.record.comparable && recorded->size == onServer)
                plan.next.files[f.remoteName] = *recorded;
        }
        if (!same || in.everything)
            plan.toSend << f;
        if (onServer < 0 && in.server.listed) // a file asked for one by one may be there all the same
            plan.absent.insert(f.remoteName);
    }
    serverHoldsFiles |= !in.server.files.isEmpty();
    if (const QString note = noteFor(in, serverHoldsFiles); !note.isEmpty())
        plan.notes << note;
    plan.keepBadAside = in.manifest.state != ManifestState::Valid && in.manifest.state != ManifestState::Missing;
    if (trusted)
        planDeletions(in, published, plan);
    planFolders(in, foldersNeeded(names), plan);
    return plan;
}

QStringList planLines(const PublishPlan &plan, int namesShown)
{
    const std::pair<const char *, const QStringList *> classes[] = {
        {"nowe", &plan.nowe},           {"zmienione", &plan.zmienione}, {"brakujące na serwerze", &plan.brakujace},
        {"do usunięcia", &plan.doUsuniecia}, {"bez zmian", &plan.bezZmian}, {"nie nasze — zostawiamy", &plan.nieNasze}};
    QStringList counts;
    for (const auto &[name, list] : classes)
        counts << QStringLiteral("%1: %2").arg(QString::fromUtf8(name)).arg(list->size());
    QStringList lines{QStringLiteral("Pliki %1.").arg(counts.join(QStringLiteral(", ")))};
    for (const auto &[name, list] : classes) {
        if (list->isEmpty() || list == &plan.bezZmian)
            continue;
        QString shown = list->mid(0, namesShown).join(QStringLiteral(", "));
        if (list->size() > namesShown)
            shown += QStringLiteral(" i %1 innych").arg(list->size() - namesShown);
        lines << QStringLiteral("%1: %2").arg(QString::fromUtf8(name).at(0).toUpper() + QString::fromUtf8(name).mid(1), shown);
    }
    if (!plan.foldersToRemove.isEmpty())
        lines << QStringLiteral("Foldery do usunięcia: %1").arg(plan.foldersToRemove.join(QStringLiteral(", ")));
    return lines;
}

QString planAfterwards(const PublishPlan &plan)
{
    QStringList lines = plan.notes;
    if (!plan.bezZmian.isEmpty() || !plan.doUsuniecia.isEmpty() || !plan.nieNasze.isEmpty())
        lines.prepend(planLines(plan).first());
    return lines.isEmpty() ? QString() : u'\n' + lines.join(u'\n');
}

QString deletionQuestion(const PublishPlan &plan)
{
    return QStringLiteral("Z serwera zostanie usuniętych %1 plików, które ten program tam wcześniej wysłał, a których nie ma "
                          "już w publikacji (%2). Usunąć je?")
        .arg(plan.doUsuniecia.size())
        .arg(plan.doUsuniecia.mid(0, 10).join(QStringLiteral(", ")) + (plan.doUsuniecia.size() > 10 ? QStringLiteral(", …") : QString()));
}

} // namespace zk
