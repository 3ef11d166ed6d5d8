#include "Bookmarks.h"

#include "Encoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>
#include <QUrl>

#include "SqliteCalls.h"

#include <functional>
#include <vector>

namespace zk {

void sortFavourites(QList<TURLrec> &records)
{
    // Byte by byte in Windows-1250, the favourites' own character set: Ś and
    // Ł before the small letters, ą after them. Each key is encoded once.
    struct Keyed {
        QByteArray folder;
        QByteArray name;
        TURLrec record;
    };
    const auto key = [](const QString &s) {
        const bool ascii = std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
        return ascii ? s.toLatin1() : encodeText(s, EncodingWindows); // the same bytes, much sooner
    };
    std::vector<Keyed> keyed;
    keyed.reserve(records.size());
    for (TURLrec &r : records)
        keyed.push_back({key(r.Folder), key(r.Name), std::move(r)});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return a.folder != b.folder ? a.folder < b.folder : a.name < b.name;
    });
    for (qsizetype i = 0; i < records.size(); ++i)
        records[i] = std::move(keyed[size_t(i)].record);
}

namespace {

// A folder's name as one part of a record's "\"-joined folder path.
QString folderPart(const QString &name)
{
    return QString(name).replace(u'\\', u'/');
}

QString joined(const QString &parent, const QString &name)
{
    return parent.isEmpty() ? folderPart(name) : parent + u'\\' + folderPart(name);
}

QString firefoxProfile(const QString &firefoxFolder)
{
    const QString ini = firefoxFolder + QStringLiteral("/profiles.ini");
    if (!QFileInfo::exists(ini))
        return {};
    QSettings profiles(ini, QSettings::IniFormat);
    const auto pathOf = [&](const QString &group, const QString &key) {
        profiles.beginGroup(group);
        const QString path = profiles.value(key).toString();
        const bool relative = profiles.value(QStringLiteral("IsRelative"), 1).toInt() != 0 || key != u"Path";
        profiles.endGroup();
        if (path.isEmpty())
            return QString();
        return relative ? firefoxFolder + u'/' + path : path;
    };
    // The profile an installation opens, then the one marked default, then the rest.
    QStringList installs, defaults, others;
    for (const QString &group : profiles.childGroups()) {
        if (group.startsWith(QStringLiteral("Install"))) {
            installs << pathOf(group, QStringLiteral("Default"));
        } else if (group.startsWith(QStringLiteral("Profile"))) {
            profiles.beginGroup(group);
            const bool isDefault = profiles.value(QStringLiteral("Default")).toInt() == 1;
            profiles.endGroup();
            (isDefault ? defaults : others) << pathOf(group, QStringLiteral("Path"));
        }
    }
    for (const QString &profile : installs + defaults + others)
        if (!profile.isEmpty() && QFileInfo::exists(profile + QStringLiteral("/places.sqlite")))
            return profile + QStringLiteral("/places.sqlite");
    return {};
}

} // namespace

BrowserBookmarks findBrowserBookmarks(const QString &home)
{
    for (const char *chromium : {"/.config/chromium/Default/Bookmarks", "/snap/chromium/common/chromium/Default/Bookmarks",
                                 "/.config/google-chrome/Default/Bookmarks"})
        if (QFileInfo(home + QString::fromLatin1(chromium)).isFile())
            return {BrowserBookmarks::Kind::Chromium, home + QString::fromLatin1(chromium)};
    for (const char *firefox : {"/.mozilla/firefox", "/snap/firefox/common/.mozilla/firefox",
                                "/.var/app/org.mozilla.firefox/.mozilla/firefox"})
        if (const QString places = firefoxProfile(home + QString::fromLatin1(firefox)); !places.isEmpty())
            return {BrowserBookmarks::Kind::Firefox, places};
    return {};
}

QList<TURLrec> readBrowserBookmarks(const BrowserBookmarks &source)
{
    switch (source.kind) {
    case BrowserBookmarks::Kind::Chromium: return readChromiumBookmarks(source.file);
    case BrowserBookmarks::Kind::Firefox: return readFirefoxBookmarks(source.file);
    case BrowserBookmarks::Kind::None: break;
    }
    return {};
}

QList<TURLrec> readChromiumBookmarks(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject roots = QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("roots")).toObject();
    QList<TURLrec> records;
    const std::function<void(const QJsonArray &, const QString &)> walk = [&](const QJsonArray &nodes, const QString &folder) {
        for (const QJsonValue &v : nodes) {
            const QJsonObject node = v.toObject();
            const QString type = node.value(QStringLiteral("type")).toString();
            const QString name = node.value(QStringLiteral("name")).toString();
            if (type == u"url") {
                const QString url = node.value(QStringLiteral("url")).toString();
                records.append({folder, name.isEmpty() ? url : name, url});
            } else if (type == u"folder") {
                records.append({joined(folder, name), {}, {}});
                walk(node.value(QStringLiteral("children")).toArray(), joined(folder, name));
            }
        }
    };
    const std::pair<const char *, const char *> tops[] = {
        {"bookmark_bar", "Pasek zakładek"}, {"other", "Inne zakładki"}, {"synced", "Zakładki z telefonu"}};
    for (const auto &[key, caption] : tops) {
        const QJsonArray children = roots.value(QString::fromLatin1(key)).toObject().value(QStringLiteral("children")).toArray();
        if (children.isEmpty())
            continue;
        records.append({QString::fromUtf8(caption), {}, {}});
        walk(children, QString::fromUtf8(caption));
    }
    sortFavourites(records);
    return records;
}

namespace {

struct PlacesRow {
    qint64 parent = 0;
    int type = 0;
    QString title, url, guid;
};

// Every row of the bookmarks table by id, read through a read-only,
// immutable connection: the browser may be running and holds the file.
QHash<qint64, PlacesRow> readPlaces(const QString &placesFile)
{
    QHash<qint64, PlacesRow> rows;
    if (!sqlite().problem.isEmpty())
        return rows; // as an unreadable database: no bookmarks from it
    const QByteArray uri = "file:" + QUrl::fromLocalFile(placesFile).path(QUrl::FullyEncoded).toUtf8() + "?immutable=1";
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt *query = nullptr;
    const char *sql = "SELECT b.id, b.parent, b.type, IFNULL(b.title, ''), IFNULL(p.url, ''), IFNULL(b.guid, '') "
                      "FROM moz_bookmarks b LEFT JOIN moz_places p ON b.fk = p.id";
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK) {
        const auto text = [&](int column) {
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(query, column)));
        };
        while (sqlite3_step(query) == SQLITE_ROW)
            rows.insert(sqlite3_column_int64(query, 0),
                        {sqlite3_column_int64(query, 1), sqlite3_column_int(query, 2), text(3), text(4), text(5)});
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    return rows;
}

} // namespace

QList<TURLrec> readFirefoxBookmarks(const QString &placesFile)
{
    const QHash<qint64, PlacesRow> rows = readPlaces(placesFile);
    const QHash<QString, QString> tops = {{QStringLiteral("toolbar_____"), QStringLiteral("Pasek zakładek")},
                                          {QStringLiteral("menu________"), QStringLiteral("Menu zakładek")},
                                          {QStringLiteral("unfiled_____"), QStringLiteral("Inne zakładki")},
                                          {QStringLiteral("mobile______"), QStringLiteral("Zakładki z telefonu")}};
    // The folder path of a folder row; empty for the root, the tags and
    // anything not under one of the shown top folders (or in a loop).
    QHash<qint64, QString> paths;
    const std::function<QString(qint64, int)> pathOf = [&](qint64 id, int depth) -> QString {
        if (paths.contains(id))
            return paths.value(id);
        const auto row = rows.constFind(id);
        QString path;
        if (row != rows.cend() && depth < 64) {
            if (tops.contains(row->guid))
                path = tops.value(row->guid);
            else if (const QString parent = pathOf(row->parent, depth + 1); !parent.isEmpty())
                path = joined(parent, row->title);
        }
        paths.insert(id, path);
        return path;
    };
    QList<TURLrec> records;
    QSet<QString> nonEmpty;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        const PlacesRow &row = it.value();
        const QString folder = pathOf(row.parent, 0);
        if (folder.isEmpty())
            continue;
        if (row.type == 1 && !row.url.startsWith(QStringLiteral("place:"))) {
            records.append({folder, row.title.isEmpty() ? row.url : row.title, row.url});
            nonEmpty.insert(folder.section(u'\\', 0, 0));
        } else if (row.type == 2) {
            records.append({pathOf(it.key(), 0), {}, {}});
        }
    }
    for (const QString &top : tops)
        if (nonEmpty.contains(top))
            records.append({top, {}, {}});
    sortFavourites(records);
    return records;
}

} // namespace zk
