#include "Messages.h"

#include "Prompts.h"
#include "Services.h"

namespace zk {

void BladMsg(int flags, const QString &caption, const QString &text, QWidget *owner)
{
    services().prompts->message(flags, caption, text, owner);
}

bool Potwierdzenie(const QString &caption, const QString &text, QWidget *owner)
{
    return services().prompts->question(
        caption.isEmpty() ? QStringLiteral("Konieczne potwierdzenie!") : caption,
        text.isEmpty() ? QStringLiteral("Czy aby na pewno wykonać tą operację?") : text, owner);
}

QString errorReportText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QChar(u'.'))
        return text + u'.';
    return text;
}

void showErrorReport(const QString &text, QWidget *owner)
{
    services().prompts->message(MB_ICONERROR, AppTitle, errorReportText(text), owner);
}

} // namespace zk
