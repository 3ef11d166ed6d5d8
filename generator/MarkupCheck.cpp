#include "MarkupCheck.h"

#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace zk {

namespace {

const QSet<QString> &voidElements()
{
    static const QSet<QString> names{"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                                     "param", "source", "track", "wbr", "bgsound", "keygen", "basefont", "isindex",
                                     "spacer", "frame", "nextid"};
    return names;
}

// Elements whose end tag may be left out: never reported as left open.
const QSet<QString> &optionalEnd()
{
    static const QSet<QString> names{"p", "li", "dt", "dd", "tr", "td", "th", "thead", "tbody", "tfoot",
                                     "option", "optgroup", "rt", "rp", "colgroup", "caption", "html", "head", "body"};
    return names;
}

const QSet<QString> &deprecatedElements()
{
    static const QSet<QString> names{"acronym", "applet", "basefont", "bgsound", "big", "blink", "center", "dir",
                                     "font", "frame", "frameset", "isindex", "keygen", "listing", "marquee", "multicol",
                                     "nextid", "nobr", "noembed", "noframes", "plaintext", "spacer", "strike", "tt", "xmp"};
    return names;
}

// Presentational attributes, on any element or only on the ones named.
bool deprecatedAttribute(const QString &element, const QString &attribute)
{
    static const QSet<QString> anywhere{"align", "bgcolor", "background", "valign", "hspace", "vspace", "clear",
                                        "noshade", "nowrap", "cellpadding", "cellspacing", "compact", "language",
                                        "alink", "vlink"};
    if (anywhere.contains(attribute))
        return true;
    if (element == u"body")
        return attribute == u"text" || attribute == u"link";
    if (element == u"img" || element == u"object")
        return attribute == u"border";
    if (element == u"td" || element == u"th" || element == u"hr")
        return attribute == u"width" || attribute == u"height" || attribute == u"size";
    return false;
}

// The optional-end elements an opening tag closes when one is open at the top.
bool closesImplicitly(const QString &open, const QString &opening)
{
    static const QSet<QString> blocks{"p", "div", "ul", "ol", "dl", "table", "h1", "h2", "h3", "h4", "h5", "h6",
                                      "pre", "blockquote", "form", "hr", "address", "section", "article", "aside",
                                      "nav", "header", "footer", "figure", "main", "menu", "fieldset"};
    if (open == u"p")
        return blocks.contains(opening);
    if (open == u"li")
        return opening == u"li";
    if (open == u"dt" || open == u"dd")
        return opening == u"dt" || opening == u"dd";
    if (open == u"td" || open == u"th")
        return opening == u"td" || opening == u"th" || opening == u"tr";
    if (open == u"tr")
        return opening == u"tr";
    if (open == u"option")
        return opening == u"option" || opening == u"optgroup";
    return false;
}

struct Open {
    QString name;
    int line;
};

class Checker {
public:
    void tag(const QString &name, const QString &attributes, bool closing, int line)
    {
        if (closing)
            close(name, line);
        else
            open(name, attributes, line);
    }

    QList<MarkupProblem> finish()
    {
        for (const Open &o : std::as_const(m_open))
            if (!optionalEnd().contains(o.name))
                add(o.line, QStringLiteral("znacznik <%1> nie jest zamknięty (close-order)").arg(o.name));
        std::stable_sort(m_problems.begin(), m_problems.end(),
                         [](const MarkupProblem &a, const MarkupProblem &b) { return a.line < b.line; });
        return m_problems;
    }

private:
    void open(const QString &name, const QString &attributes, int line)
    {
        if (deprecatedElements().contains(name))
            add(line, QStringLiteral("znacznik <%1> jest przestarzały, wygląd ustawia się w CSS (deprecated)").arg(name));
        static const QRegularExpression attribute(QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*(?:=\\s*(\"[^\"]*\"|'[^']*'|[^\\s\"'>]+))?"));
        bool alt = false;
        QString src;
        for (auto it = attribute.globalMatch(attributes); it.hasNext();) {
            const QRegularExpressionMatch a = it.next();
            const QString key = a.captured(1).toLower();
            if (deprecatedAttribute(name, key))
                add(line, QStringLiteral("atrybut %1 znacznika <%2> jest przestarzały, wygląd ustawia się w CSS "
                                         "(no-deprecated-attr)").arg(key, name));
            alt = alt || key == u"alt";
            if (key == u"src")
                src = a.captured(2).remove(u'"').remove(u'\'');
        }
        if (name == u"img" && !alt)
            add(line, QStringLiteral("obrazek \"%1\" nie ma tekstu zastępczego ALT dla tych, którzy go nie widzą (wcag/h37)")
                          .arg(src));
        if (voidElements().contains(name))
            return;
        while (!m_open.isEmpty() && closesImplicitly(m_open.last().name, name))
            m_open.removeLast();
        m_open << Open{name, line};
    }

    void close(const QString &name, int line)
    {
        if (voidElements().contains(name))
            return;
        qsizetype at = m_open.size() - 1;
        while (at >= 0 && m_open[at].name != name)
            --at;
        if (at < 0) {
            if (!optionalEnd().contains(name))
                add(line, QStringLiteral("zamknięcie </%1> bez otwarcia (close-order)").arg(name));
            return;
        }
        for (qsizetype i = m_open.size() - 1; i > at; --i)
            if (!optionalEnd().contains(m_open[i].name))
                add(m_open[i].line, QStringLiteral("znacznik <%1> nie jest zamknięty przed </%2> (close-order)")
                                        .arg(m_open[i].name, name));
        m_open.resize(at);
    }

    void add(int line, const QString &text) { m_problems << MarkupProblem{line, text}; }

    QList<Open> m_open;
    QList<MarkupProblem> m_problems;
};

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

} // namespace

QList<MarkupProblem> markupProblems(const QStringList &lines)
{
    static const QRegularExpression token(
        QStringLiteral("<!--.*?-->|<(/?)([A-Za-z][A-Za-z0-9-]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*)>"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = lines.join(u'\n');
    Checker checker;
    int line = 1;
    qsizetype counted = 0;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        line += int(QStringView(text).mid(counted, m.capturedStart() - counted).count(u'\n'));
        counted = m.capturedStart();
        if (m.captured(2).isEmpty())
            continue; // a comment
        checker.tag(m.captured(2).toLower(), m.captured(3), !m.captured(1).isEmpty(), line);
    }
    return checker.finish();
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace zk
