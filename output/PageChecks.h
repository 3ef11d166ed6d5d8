#pragma once

#include "Assets.h"

#include <QStringList>

namespace zk {

struct PageCheckContext {
    QString baseFolder; // relative references are looked for here ("" : not looked for)
    QString pageName;
    QString badgeSourcePath;
};

inline constexpr qint64 HeavyPageBytes = 5 * 1024 * 1024;

// What is worth mending on an HTML5 page before it is shown or goes out,
// one Polish line a finding: pictures without alt text, text or links too
// faint on their ground (WCAG AA, 4.5:1), relative links and pictures that
// are not there, faults in the markup of the main section (with its line
// numbers), a page with its files over 5 MB. Empty when all is well.
QStringList pageCheckList(const PageDescription &description, const AssetPlan &plan, const QStringList &pageLines,
                          const PageCheckContext &context);

// The "UWAGA!" question that lists the findings and asks whether to go on.
QString checkListQuestion(const QStringList &findings);

} // namespace zk
