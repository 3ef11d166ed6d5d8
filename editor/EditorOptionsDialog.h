#pragma once

#include "HighlightScheme.h"

#include <QDialog>
#include <QKeySequence>

#include <functional>

class QCheckBox;
class QKeySequenceEdit;
class QListWidget;
class QPlainTextEdit;

namespace zk {

class ColorPickerButton;
class HtmlHighlighter;

struct EditorSettings {
    quint32 options = 0;
    HighlightScheme scheme;
    QKeySequence optionsKey;
};

// "Editor options": the editor's behaviour ("Options"), the look of every
// element class with a preview ("Highlighting"), and its own key ("Keys").
class EditorOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // Why a key cannot open this dialog ("" when it can).
    using KeyCheck = std::function<QString(const QKeySequence &)>;

    explicit EditorOptionsDialog(const EditorSettings &settings, QWidget *parent = nullptr, KeyCheck keyProblem = {});
    EditorSettings settings() const;
    // OK keeps the dialog open, with a message, while the chosen key cannot be used.
    void accept() override;

    // The option captions, as the "Options" page shows them.
    static QString optionCaption(int option);

private:
    QWidget *buildOptionsPage();
    QWidget *buildHighlightingPage();
    QWidget *buildKeysPage();
    void showClass(int index);
    void storeClass();

    EditorSettings m_settings;
    QList<QCheckBox *> m_optionBoxes;
    QListWidget *m_classes = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QCheckBox *m_underline = nullptr;
    QCheckBox *m_ownBackground = nullptr;
    ColorPickerButton *m_foreground = nullptr;
    ColorPickerButton *m_background = nullptr;
    QPlainTextEdit *m_preview = nullptr;
    HtmlHighlighter *m_previewHighlighter = nullptr;
    QKeySequenceEdit *m_key = nullptr;
    KeyCheck m_keyProblem;
    bool m_loading = false;
};

} // namespace zk
