#include "HtmlHighlighter.h"

namespace zk {

HtmlHighlighter::HtmlHighlighter(QTextDocument *document) : QSyntaxHighlighter(document)
{
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

void HtmlHighlighter::highlightBlock(const QString &text)
{
    ++m_count;
    if (!m_enabled) {
        setCurrentBlockState(HtmlGrammar::InitialState);
        return;
    }
    // Each coloured span costs the text layout a format change on every
    // key press: an over-long line is coloured at its start only, while its
    // whole text is still read so the lines after it keep their state.
    const int state = m_grammar.highlightLine(text, previousBlockState(), [this](int start, int length, HtmlClass c) {
        if (!m_plain[size_t(c)] && start < ColouredPrefix)
            setFormat(start, std::min(length, ColouredPrefix - start), m_formats[size_t(c)]);
    });
    setCurrentBlockState(state);
}

} // namespace zk
