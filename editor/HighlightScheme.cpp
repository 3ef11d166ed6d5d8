#include "HighlightScheme.h"

namespace zk {

namespace {

ClassStyle makeStyle(const char *fg, bool bold = false, bool italic = false, const char *bg = nullptr)
{
    ClassStyle s;
    s.foreground = QColor(QString::fromLatin1(fg));
    s.bold = bold;
    s.italic = italic;
    if (bg)
        s.background = QColor(QString::fromLatin1(bg));
    return s;
}

} // namespace

HighlightScheme HighlightScheme::defaults()
{
    HighlightScheme s;
    s.style(HtmlClass::Comment) = makeStyle("#808080", false, true);
    s.style(HtmlClass::String) = makeStyle("#A31515");
    s.style(HtmlClass::TagName) = makeStyle("#000080", true);
    s.style(HtmlClass::FieldName) = makeStyle("#B8500A");
    s.style(HtmlClass::SpecialChar) = makeStyle("#8B008B", true);
    s.style(HtmlClass::Number) = makeStyle("#098658");
    s.style(HtmlClass::WebUrl) = makeStyle("#0000FF");
    s.style(HtmlClass::WebUrl).underline = true;
    s.style(HtmlClass::JsComment) = makeStyle("#008000", false, true);
    s.style(HtmlClass::JsKeyword) = makeStyle("#0000C0", true);
    s.style(HtmlClass::JsMethod) = makeStyle("#795E26");
    s.style(HtmlClass::JsSymbol) = makeStyle("#404040");
    s.style(HtmlClass::JsString) = makeStyle("#A31515");
    s.style(HtmlClass::JsIdentifier) = makeStyle("#001080");
    s.style(HtmlClass::JsNumber) = makeStyle("#098658");
    s.style(HtmlClass::VbComment) = makeStyle("#008000", false, true);
    s.style(HtmlClass::VbKeyword) = makeStyle("#0000C0", true);
    s.style(HtmlClass::VbMethod) = makeStyle("#795E26");
    s.style(HtmlClass::VbFunction) = makeStyle("#AF00DB");
    s.style(HtmlClass::VbSymbol) = makeStyle("#404040");
    s.style(HtmlClass::VbString) = makeStyle("#A31515");
    s.style(HtmlClass::VbIdentifier) = makeStyle("#001080");
    s.style(HtmlClass::VbNumber) = makeStyle("#098658");
    s.style(HtmlClass::Default) = makeStyle("#000000");
    return s;
}

QTextCharFormat HighlightScheme::format(HtmlClass c) const
{
    const ClassStyle &s = style(c);
    QTextCharFormat f;
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    if (s.foreground.isValid())
        f.setForeground(s.foreground);
    if (s.background.isValid())
        f.setBackground(s.background);
    return f;
}

QString HighlightScheme::toText() const
{
    QStringList entries;
    for (int i = 0; i < HtmlClassCount; ++i) {
        const ClassStyle &s = m_styles[size_t(i)];
        QString flags;
        if (s.bold)
            flags += u'b';
        if (s.italic)
            flags += u'i';
        if (s.underline)
            flags += u'u';
        entries << htmlClassName(HtmlClass(i)) + u'=' + flags + u','
                       + (s.foreground.isValid() ? s.foreground.name().toUpper() : QString()) + u','
                       + (s.background.isValid() ? s.background.name().toUpper() : QString());
    }
    return entries.join(u';');
}

HighlightScheme HighlightScheme::fromText(const QString &text)
{
    HighlightScheme scheme = defaults();
    for (const QString &entry : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = entry.indexOf(u'=');
        const QStringList parts = entry.mid(eq + 1).split(u',');
        if (eq < 0 || parts.size() != 3)
            continue;
        const QString name = entry.left(eq).trimmed();
        for (int i = 0; i < HtmlClassCount; ++i) {
            if (htmlClassName(HtmlClass(i)) != name)
                continue;
            ClassStyle s;
            s.bold = parts[0].contains(u'b');
            s.italic = parts[0].contains(u'i');
            s.underline = parts[0].contains(u'u');
            s.foreground = parts[1].isEmpty() ? QColor() : QColor(parts[1]);
            s.background = parts[2].isEmpty() ? QColor() : QColor(parts[2]);
            if ((parts[1].isEmpty() || s.foreground.isValid()) && (parts[2].isEmpty() || s.background.isValid()))
                scheme.m_styles[size_t(i)] = s;
        }
    }
    return scheme;
}

} // namespace zk
