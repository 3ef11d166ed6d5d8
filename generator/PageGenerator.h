#pragma once

#include "description/PageDescription.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace zk {

// What the generator needs besides the description, passed in so that a
// test can fix the owner, the clock and the regional settings.
struct GeneratorContext {
    QString ownerName;
    bool badgeExists = false;
    QDateTime nowUtc;  // for the creation stamp
    QDate today;       // local date, for the footer
    QLocale locale;
    QStringList publishFiles; // the page's assets, as collected from the description
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

// Replaces every occurrence of each asset path by its bare file name.
QString shortenAssetPaths(const QString &line, const QStringList &publishFiles);

} // namespace zk
