#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace zk {

// One fault in the markup the user typed, by the line of the main section.
struct MarkupProblem {
    int line = 0;  // from 1
    QString text;  // Polish, with the validator rule's name at the end
    bool operator==(const MarkupProblem &) const = default;
};

// What today's validators say of the user's own lines that changes how the
// page works or reads: elements left open, closed out of order or never
// opened (close-order), elements and attributes HTML5 gave up for CSS
// (deprecated, no-deprecated-attr), pictures without a text for those who
// cannot see them (wcag/h37). Matters of style (letter case, quotes) are not
// faults here: browsers read both alike.
QList<MarkupProblem> markupProblems(const QStringList &lines);

// The contrast of two colours as WCAG 2 counts it, from 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

} // namespace zk
