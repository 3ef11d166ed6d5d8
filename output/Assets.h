#pragma once

#include "PageDescription.h"

#include <QCollator>
#include <QHash>
#include <QList>
#include <QStringList>

#include <utility>

namespace zk {

// One local file that travels with the page: where it is, and where it goes
// relative to the page's folder ("logo.gif", "img/a.gif"; always "/").
struct TravellingFile {
    QString source;
    QString target;
    bool operator==(const TravellingFile &) const = default;
};

struct AssetContext {
    // Relative references are resolved against this folder; none: they stay
    // where they are and nothing of theirs travels.
    QString baseFolder;
    // Names already taken in the page's folder (the page, the badge).
    QStringList reservedNames;
    QLocale locale = QLocale::system();
};

struct AssetPlan {
    QList<TravellingFile> files;       // sorted by source, as the publication lists them
    QHash<QString, QString> pageNames; // local path reference (trimmed) -> the name the page uses
    QStringList missing;               // local paths named by the page that are no file here
    // A MIDI melody chosen as the sound of an HTML5 page travels as its
    // recording, which browsers play; both empty when there is none.
    QString melody;
    QString melodyRecording; // where the recording is kept; made by recordMidi
    QStringList sources() const;
    // Where the file that travels as `target` comes from; "" when none does.
    QString sourceFor(const QString &target) const;
};

// The local files the page uses, from the pictures and sound chosen in the
// form (each by its own switch) and from every reference in the editor's
// lines: absolute paths travel under a name unique in the page's folder,
// relative references that name a file below the base folder travel to
// the same relative place, addresses stay where they are. On an HTML5 page
// a MIDI sound travels as its recording, under its name with ".opus".
AssetPlan Gen_List(const PageDescription &description, const AssetContext &context);

// The sources of the plan's files and the page file, sorted by the
// locale's case-insensitive comparison: what the publish dialog sends.
QStringList publicationFiles(const AssetPlan &plan, const QString &pageFile, const QLocale &locale = QLocale::system());

// The paths the form's switches say the page uses, in their fixed order.
QStringList formFiles(const PageDescription &description);

// Whether writing `source` over `target` would change it: false when the
// target holds the same bytes or is the source itself.
bool copyWouldChange(const QString &source, const QString &target);

// Why `source` cannot travel with a page ("" when it can): only a regular
// file on a real disk, never a device, a pipe or a file of /proc.
QString travellingFileProblem(const QString &source);

// Puts a copy of `source` at `target`, replacing a different file there
// atomically; the same bytes are left alone. Raises AppError naming the file.
void copyReplacing(const QString &source, const QString &target);

// The same for all the files of a page at once (source, target): all are
// written out together, then each is synced and renamed into place, and each
// folder synced once, rather than one wait for the disk per file in turn.
void copyAllReplacing(const QList<std::pair<QString, QString>> &copies);

} // namespace zk
