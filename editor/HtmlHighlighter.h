#pragma once

#include "HighlightScheme.h"
#include "HtmlGrammar.h"

#include <QSyntaxHighlighter>

#include <array>

namespace zk {

// Applies the HTML grammar to a document: each block keeps the state its
// line ended in, so an edit re-colours only the lines whose state changes.
class HtmlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit HtmlHighlighter(QTextDocument *document);

    // Characters of a line that get colours; the rest of a longer one stays plain.
    static constexpr int ColouredPrefix = 10000;

    const HighlightScheme &scheme() const { return m_scheme; }
    void setScheme(const HighlightScheme &scheme);
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // Blocks coloured since the counter was last reset (for measurements).
    qint64 highlightedBlocks() const { return m_count; }
    void resetCounter() { m_count = 0; }

protected:
    void highlightBlock(const QString &text) override;

private:
    HtmlGrammar m_grammar;
    HighlightScheme m_scheme;
    std::array<QTextCharFormat, HtmlClassCount> m_formats;
    std::array<bool, HtmlClassCount> m_plain{}; // looks like unformatted text: no need to set it
    bool m_enabled = true;
    qint64 m_count = 0;
};

} // namespace zk
