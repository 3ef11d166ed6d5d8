#pragma once

#include "HtmlGrammar.h"

#include <QColor>
#include <QString>
#include <QTextCharFormat>

#include <array>

namespace zk {

struct ClassStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor foreground;
    QColor background; // invalid: the editor's own background
    bool operator==(const ClassStyle &) const = default;
};

// The look of every element class. Every class is shown in "Courier New"
// (or its metric twin); the scheme sets style and colours.
class HighlightScheme {
public:
    static HighlightScheme defaults();

    ClassStyle &style(HtmlClass c) { return m_styles[size_t(c)]; }
    const ClassStyle &style(HtmlClass c) const { return m_styles[size_t(c)]; }
    QTextCharFormat format(HtmlClass c) const;

    // As stored under "Highlighting - HTML": one "Name=flags,#fg,#bg" entry
    // per class, separated by ";". Unknown or malformed entries are skipped,
    // so a damaged value leaves the defaults of those classes.
    QString toText() const;
    static HighlightScheme fromText(const QString &text);

    bool operator==(const HighlightScheme &) const = default;

private:
    std::array<ClassStyle, HtmlClassCount> m_styles;
};

} // namespace zk
