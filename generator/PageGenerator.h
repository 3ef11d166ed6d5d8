#pragma once

#include "PageDescription.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QHash>
#include <QSize>
#include <QStringList>

namespace zk {

inline const QString Html5DocType = QStringLiteral("<!DOCTYPE html>");
// The document type is HTML5's (in any letter case).
bool isHtml5(const QString &docType);
// One short line for under the document-type list: what the chosen type is
// for, pointing at HTML5 for today's browsers and phones.
QString docTypeNote(const QString &docType);

// What the generator needs besides the description, passed in so that a
// test can fix the owner, the clock and the regional settings.
struct GeneratorContext {
    QString ownerName;
    bool badgeExists = false;
    QDateTime nowUtc;  // for the creation stamp
    QDate today;       // local date, for the footer
    QLocale locale;
    // The name the page uses for each local file reference, keyed by the
    // reference as typed (trimmed); made by the asset collector.
    QHash<QString, QString> pageNames;
    // HTML5 pages: the pixel size of each picture as it travels, by the
    // name the page uses; the badge's size; whether the page's icons
    // (made from the logo) travel with it.
    QHash<QString, QSize> pictureSizes;
    QSize badgeSize;
    bool pageIcons = false;
    QHash<QString, QString> webpNames; // a picture's name -> its WebP's, offered first

    QString pageName; // the page's file name, for its web address
};

struct GeneratedPage {
    QStringList pageLines;
    QStringList mainSectionLines; // the editor's lines with asset paths shortened
};

// Builds the HTML document, entry by entry.
GeneratedPage Generuj_Strone(const PageDescription &description, const GeneratorContext &context);

// A colour as an attribute literal: a double quote, "#", RRGGBB in upper
// case, and a closing double quote.
QString KolorNaHex(const QColor &color);

// "ddd, dd mmm yyyy hh:mm:ss" with the locale's short names and time separator.
QString creationStamp(const QDateTime &utc, const QLocale &locale);
// "dd/mm/yyyy" with the locale's date separator.
QString footerDate(const QDate &date, const QLocale &locale);

// How the page refers to a file named in the description: the asset
// collector's name for a local path; web addresses and relative references
// as typed; a local path the collector did not see by its file name.
QString pageReference(const QString &reference, const QHash<QString, QString> &pageNames);

// The line with every reference attribute value that names a local file
// replaced by the name under which that file travels.
QString shortenAssetPaths(const QString &line, const QHash<QString, QString> &pageNames);

// An attribute value written by the generator: ", <, > and & as entities.
QString escapeAttribute(const QString &text);

} // namespace zk
