#pragma once

#include "HighlightScheme.h"
#include "HtmlGrammar.h"

#include <QObject>
#include <QPointer>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextLayout>

#include <array>
#include <bitset>

class QTextBlock;

namespace zk {

// Applies the HTML grammar to a document: each block keeps the state its
// line ended in (its user state), so an edit re-colours only the lines whose
// state changes. The colours go straight into each line's layout as one
// format range per coloured span, with no per-character work, which is
// what makes a large page load nearly as fast as with no colours at all.
class HtmlHighlighter : public QObject {
    Q_OBJECT
public:
    explicit HtmlHighlighter(QTextDocument *document);

    // Characters of a line that get colours; the rest of a longer one stays plain.
    static constexpr int ColouredPrefix = 10000;

    const HighlightScheme &scheme() const { return m_scheme; }
    void setScheme(const HighlightScheme &scheme);
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // Colours every line again.
    void rehighlight();

    // Blocks coloured since the counter was last reset (for measurements).
    qint64 highlightedBlocks() const { return m_count; }
    void resetCounter() { m_count = 0; }

private:
    void contentsChange(int from, int removed, int added);
    // Colours one line after a line that ended in `previousState`; returns the state this one ends in.
    int highlightBlock(const QTextBlock &block, int previousState);
    void highlightFrom(QTextBlock block, int until);
    void adoptDocumentFormats(const QTextLayout &layout);
    std::bitset<HtmlClassCount> adoptedNone() const;

    QPointer<QTextDocument> m_document;
    HtmlGrammar m_grammar;
    HighlightScheme m_scheme;
    std::array<QTextCharFormat, HtmlClassCount> m_formats;
    std::array<bool, HtmlClassCount> m_plain{}; // looks like unformatted text: no need to set it
    std::array<int, HtmlClassCount> m_lookAlike{}; // the first class whose format equals this one's
    std::bitset<HtmlClassCount> m_adopted;         // m_formats[c] is the document's own copy
    QList<QTextLayout::FormatRange> m_ranges;  // of the line being coloured
    QList<HtmlClass> m_rangeClasses;           // the class of each of them
    bool m_enabled = true;
    bool m_highlighting = false; // our own layout changes are not edits
    qint64 m_count = 0;
};

} // namespace zk
