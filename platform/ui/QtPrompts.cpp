#include "QtPrompts.h"

#include "FileFilter.h"
#include "HelpViewer.h"
#include "Services.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFileDialog>
#include <QMessageBox>

namespace zk {

static QMessageBox::Icon iconFor(int flags)
{
    switch (flags & 0x70) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

static QWidget *windowOf(QWidget *owner)
{
    return owner ? owner->window() : nullptr;
}

void QtPrompts::message(int flags, const QString &caption, const QString &text, QWidget *owner)
{
    QMessageBox box(iconFor(flags), caption, text, QMessageBox::Ok, windowOf(owner));
    box.exec();
}

bool QtPrompts::question(const QString &caption, const QString &text, QWidget *owner)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    windowOf(owner));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

YesNoCancel QtPrompts::questionWithCancel(const QString &caption, const QString &text, QWidget *owner)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    windowOf(owner));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return YesNoCancel::Yes;
    case QMessageBox::No: return YesNoCancel::No;
    default: return YesNoCancel::Cancel;
    }
}

int QtPrompts::choose(int flags, const QString &caption, const QString &text, const QStringList &buttons, QWidget *owner)
{
    QMessageBox box(iconFor(flags), caption, text, QMessageBox::NoButton, windowOf(owner));
    QList<QPushButton *> added;
    for (const QString &b : buttons)
        added.append(box.addButton(b, added.size() + 1 == buttons.size() ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    if (added.isEmpty())
        return -1;
    box.setDefaultButton(added.first());
    box.setEscapeButton(added.last());
    box.exec();
    const qsizetype chosen = added.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
    return chosen < 0 ? int(added.size() - 1) : int(chosen);
}

// Qt's file dialog for opening or saving, set up from the request.
static QString runFileDialog(const OpenFileRequest &request, QWidget *owner, bool saving)
{
    QFileDialog dialog(owner, request.title, request.initialDir);
    if (saving)
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = nameFiltersFromPipeFilter(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString QtPrompts::saveFile(const OpenFileRequest &request, QWidget *owner)
{
    return runFileDialog(request, windowOf(owner), true);
}

QString QtPrompts::openFile(const OpenFileRequest &request, QWidget *owner)
{
    return runFileDialog(request, windowOf(owner), false);
}

// A "Pomoc" button beside OK and Cancel, and F1 anywhere in the dialog,
// show the dialog's topic.
static void addHelpButton(QDialog *dialog, int context)
{
    setHelpContext(dialog, context);
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    if (!buttons)
        return;
    QPushButton *help = buttons->addButton(QStringLiteral("&Pomoc"), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("Pomoc"));
    QObject::connect(help, &QPushButton::clicked, dialog, [dialog, help, context] {
        if (services().help)
            services().help->showTopic(context, help->mapToGlobal(QPoint(0, 0)), dialog);
    });
}

std::optional<QColor> QtPrompts::chooseColor(ColorRequest &request, QWidget *owner)
{
    // Qt keeps one set of custom colours for all dialogs; each colour
    // button has its own, so they are swapped in and out around the dialog.
    for (int i = 0; i < request.customColors.size() && i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, request.customColors.at(i));
    QColorDialog dialog(request.initial, windowOf(owner));
    dialog.setOption(QColorDialog::DontUseNativeDialog); // the help button needs our own
    if (request.helpButton)
        addHelpButton(&dialog, request.helpContext);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    for (int i = 0; i < request.customColors.size() && i < QColorDialog::customCount(); ++i)
        request.customColors[i] = QColorDialog::customColor(i);
    if (!accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

QString QtPrompts::chooseFolder(const QString &title, const QString &startFolder, QWidget *owner)
{
    return QFileDialog::getExistingDirectory(windowOf(owner), title, startFolder,
                                             QFileDialog::ShowDirsOnly);
}

} // namespace zk
