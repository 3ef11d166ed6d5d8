#pragma once

#include <QString>
#include <stdexcept>

namespace zk {

// An error whose text is meant for the user; it carries the Polish text
// as a QString so nothing is lost on the way to the error report.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const noexcept { return m_text; }

private:
    QString m_text;
};

} // namespace zk
