#pragma once

#include "WWWBtn97.h"

#include <QList>
#include <QString>

namespace zk {

// Where the settings name no Favorites folder, the favourites button shows
// the bookmarks of the browser the user has, read and never written:
// Chromium's (or Google Chrome's) "Bookmarks" file of the default profile,
// else Firefox's places database of its default profile.
struct BrowserBookmarks {
    enum class Kind { None, Chromium, Firefox };
    Kind kind = Kind::None;
    QString file;
};

// The first bookmark store found under the home folder.
BrowserBookmarks findBrowserBookmarks(const QString &home);
// Its folders and bookmarks as favourite records, sorted like a Favorites
// folder; empty when it cannot be read.
QList<TURLrec> readBrowserBookmarks(const BrowserBookmarks &source);

QList<TURLrec> readChromiumBookmarks(const QString &file);
QList<TURLrec> readFirefoxBookmarks(const QString &placesFile);

// The Favorites order: by folder, then name, byte by byte in Windows-1250.
void sortFavourites(QList<TURLrec> &records);

} // namespace zk
