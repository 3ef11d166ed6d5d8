#include "EditorCommands.h"

#include "THtmlMemo.h"

namespace zk {

void wrapSelection(THtmlMemo *editor, const QString &openTag, const QString &closeTag)
{
    const int length = editor->SelLength();
    const QString text = editor->SelText();
    editor->setSelText(openTag + text + closeTag);
    editor->setSelStart(editor->SelStart() - length - int(closeTag.size()));
    editor->setSelLength(length);
}

bool Edytorekfn_CharStartsWord(QChar c)
{
    static const QString polish = QStringLiteral("ĄĆĘŁŃÓŚŹŻąćęłńóśźż");
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_' || polish.contains(c);
}

bool Edytorekfn_CharIsInWord(QChar c)
{
    return Edytorekfn_CharStartsWord(c) || (c.unicode() >= u'0' && c.unicode() <= u'9');
}

} // namespace zk
