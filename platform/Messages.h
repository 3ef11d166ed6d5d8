#pragma once

#include <QString>

class QWidget;

namespace zk {

inline const QString AppTitle = QStringLiteral("Zentarek Light - Generator Stron WWW");
inline const QString ErrorCaption = QStringLiteral("BŁĄD!");

// A modal message box owned by `owner`'s window, with one OK button;
// `flags` are the message box style bits (16 error, 48 warning, 64 information).
void BladMsg(int flags, const QString &caption, const QString &text, QWidget *owner);

// A yes/no question; an empty caption or text gets the default wording.
bool Potwierdzenie(const QString &caption, const QString &text, QWidget *owner);

// The text the default error report shows: "." is appended when the
// text's last character sorts after ".", so "...!" and "..." get none.
QString errorReportText(const QString &text);

// The default error report for a failure a command did not handle.
void showErrorReport(const QString &text, QWidget *owner = nullptr);

// Runs a command; a failure it raises ends it and goes to the default
// error report, so no error unwinds through the toolkit's own code.
template <typename Command> void runReportingErrors(QWidget *owner, Command &&command);

} // namespace zk

#include "AppError.h"

template <typename Command> void zk::runReportingErrors(QWidget *owner, Command &&command)
{
    try {
        command();
    } catch (const AppError &e) {
        showErrorReport(e.text(), owner);
    }
}
