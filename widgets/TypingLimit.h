#pragma once

class QLineEdit;

namespace zk {

// Limits what a person types into `edit` to `max` characters, while text the
// program puts there (setText) is kept whole: QLineEdit::setMaxLength would
// cut it, and a link description or favourite name would lose its end.
void limitTyping(QLineEdit *edit, int max);

} // namespace zk
