#include "HtmlHighlighter.h"

#include <QTextBlock>
#include <QTextLayout>

namespace zk {

HtmlHighlighter::HtmlHighlighter(QTextDocument *document) : QObject(document), m_document(document)
{
    connect(document, &QTextDocument::contentsChange, this, &HtmlHighlighter::contentsChange);
    setScheme(HighlightScheme::defaults());
}

void HtmlHighlighter::setScheme(const HighlightScheme &scheme)
{
    m_scheme = scheme;
    for (int i = 0; i < HtmlClassCount; ++i) {
        const ClassStyle &style = scheme.style(HtmlClass(i));
        m_formats[size_t(i)] = scheme.format(HtmlClass(i));
        m_plain[size_t(i)] = !style.bold && !style.italic && !style.underline && !style.background.isValid()
                             && (!style.foreground.isValid() || style.foreground == QColor(Qt::black));
    }
    rehighlight();
}

void HtmlHighlighter::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    rehighlight();
}

void HtmlHighlighter::rehighlight()
{
    if (m_document)
        highlightFrom(m_document->begin(), m_document->characterCount());
}

void HtmlHighlighter::contentsChange(int from, int, int added)
{
    if (m_highlighting || !m_document)
        return;
    highlightFrom(m_document->findBlock(from), from + added);
}

// Lines from `block` on are coloured up to `until` (a document position), and
// beyond it for as long as a line ends in another state than it did before.
void HtmlHighlighter::highlightFrom(QTextBlock block, int until)
{
    m_highlighting = true;
    int state = block.previous().isValid() ? std::max(block.previous().userState(), int(HtmlGrammar::InitialState))
                                           : int(HtmlGrammar::InitialState);
    int dirtyFrom = -1, dirtyTo = -1;
    while (block.isValid()) {
        const int before = block.userState();
        state = highlightBlock(block, state);
        block.setUserState(state);
        if (dirtyFrom < 0)
            dirtyFrom = block.position();
        dirtyTo = block.position() + block.length();
        if (block.position() + block.length() > until && state == before)
            break;
        block = block.next();
    }
    if (dirtyFrom >= 0) // one relayout for the lines coloured, not one per line
        m_document->markContentsDirty(dirtyFrom, std::min(dirtyTo, m_document->characterCount()) - dirtyFrom);
    m_highlighting = false;
}

int HtmlHighlighter::highlightBlock(const QTextBlock &block, int previousState)
{
    ++m_count;
    QList<QTextLayout::FormatRange> ranges;
    int state = HtmlGrammar::InitialState;
    if (m_enabled) {
        // Each coloured span costs the text layout a format change on every
        // key press: an over-long line is coloured at its start only, while its
        // whole text is still read so the lines after it keep their state.
        state = m_grammar.highlightLine(block.text(), previousState, [this, &ranges](int start, int length, HtmlClass c) {
            if (m_plain[size_t(c)] || start >= ColouredPrefix)
                return;
            if (!ranges.isEmpty() && ranges.last().start + ranges.last().length == start
                && ranges.last().format == m_formats[size_t(c)]) {
                ranges.last().length += std::min(length, ColouredPrefix - start);
                return;
            }
            ranges.append({start, std::min(length, ColouredPrefix - start), m_formats[size_t(c)]});
        });
    }
    if (QTextLayout *layout = block.layout(); layout && (!ranges.isEmpty() || !layout->formats().isEmpty()))
        layout->setFormats(ranges);
    return state;
}

} // namespace zk
