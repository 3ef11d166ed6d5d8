#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace zk {

// Style bits of the platform's message box, passed through unchanged.
enum MessageFlag : int {
    MB_ICONERROR = 16,
    MB_ICONQUESTION = 32,
    MB_ICONWARNING = 48,
    MB_ICONINFORMATION = 64,
};

struct OpenFileRequest {
    QString title;
    // Filter in the "Description|*.a;*.b|Other|*.c" form the forms use.
    QString filter;
    QString fileName;   // preselected file, may be empty
    QString initialDir; // may be empty
    QString defaultSuffix; // appended to a name typed without an extension
};

struct ColorRequest {
    QColor initial;
    QList<QColor> customColors; // in and out: 16 slots
    bool fullOpen = true;
    bool helpButton = false;
    int helpContext = 0; // the topic of the help button and of F1
};

enum class YesNoCancel { Yes, No, Cancel };

// Every message box and common dialog of the program goes through this
// seam, so tests answer them without a person.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual void message(int flags, const QString &caption, const QString &text, QWidget *owner) = 0;
    // Question-mark icon, Yes and No; true for Yes.
    virtual bool question(const QString &caption, const QString &text, QWidget *owner) = 0;
    // Question-mark icon, Yes, No and Cancel (Escape and closing cancel).
    virtual YesNoCancel questionWithCancel(const QString &caption, const QString &text, QWidget *owner) = 0;
    // A box with buttons of its own (`buttons`, the first one the default,
    // the last one what Escape and closing answer): the index of the one chosen.
    virtual int choose(int flags, const QString &caption, const QString &text, const QStringList &buttons,
                       QWidget *owner) = 0;
    // The chosen file's full path, or "" when cancelled.
    virtual QString openFile(const OpenFileRequest &request, QWidget *owner) = 0;
    // The file name chosen to save under (full path, the default suffix
    // added to a name typed without one), or "" when cancelled.
    virtual QString saveFile(const OpenFileRequest &request, QWidget *owner) = 0;
    // The chosen colour, or nothing when cancelled; updates the custom slots.
    virtual std::optional<QColor> chooseColor(ColorRequest &request, QWidget *owner) = 0;
    // The chosen folder, or "" when cancelled.
    virtual QString chooseFolder(const QString &title, const QString &startFolder, QWidget *owner) = 0;
};

} // namespace zk
