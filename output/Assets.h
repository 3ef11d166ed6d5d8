#pragma once

#include "description/PageDescription.h"

#include <QCollator>
#include <QStringList>

namespace zk {

// The files that make up a publication: kept sorted by the locale's
// case-insensitive comparison, no two entries equal ignoring case (the
// first spelling added stays), no empty entry.
class PublishFileList {
public:
    explicit PublishFileList(const QLocale &locale = QLocale::system());

    void add(const QString &path);
    void clear() { m_entries.clear(); }
    const QStringList &entries() const { return m_entries; }
    bool containsIgnoringCase(const QString &path) const;

private:
    QCollator m_collator;
    QStringList m_entries;
};

// The local files the page uses: the pictures and sound chosen in the form,
// then the picture, sound and page references in the editor's lines.
PublishFileList Gen_List(const PageDescription &description, const QLocale &locale = QLocale::system());

// The references one main-text line contributes, in scan order.
QStringList referencesInLine(const QString &line);

// Copies one file; a missing source or an existing target is left alone.
// A file that cannot be read or created raises AppError with the path.
void FileCopy(const QString &source, const QString &target);

} // namespace zk
