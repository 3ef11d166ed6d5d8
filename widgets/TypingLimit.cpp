#include "TypingLimit.h"

#include <QLineEdit>
#include <QValidator>

namespace zk {

namespace {

// Text the program sets (the field is then not "modified") always passes;
// a person's edit passes when it stays within the limit or does not make
// the text longer than it last was, so deleting from a long text works.
class TypingLimitValidator : public QValidator {
public:
    TypingLimitValidator(QLineEdit *edit, int max)
        : QValidator(edit), m_edit(edit), m_max(max), m_lastSize(edit->text().size())
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_lastSize = text.size(); });
    }
    State validate(QString &input, int &) const override
    {
        if (!m_edit->isModified() || input.size() <= m_max || input.size() <= m_lastSize)
            return Acceptable;
        return Invalid;
    }

private:
    QLineEdit *m_edit;
    int m_max;
    qsizetype m_lastSize;
};

} // namespace

void limitTyping(QLineEdit *edit, int max)
{
    edit->setValidator(new TypingLimitValidator(edit, max));
}

} // namespace zk
