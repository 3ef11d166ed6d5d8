#pragma once

#include "HighlightScheme.h"

#include <QKeySequence>
#include <QPlainTextEdit>

#include <functional>

class QMenu;
class QTimer;

namespace zk {

class HtmlHighlighter;
class Registry;

// The editor's own options, as its options dialog names them.
enum class EditorOption : int {
    optAutoIndent, optTabToColumn, optWordSelect, optSyntaxHighlight, optTitleAsFilename,
    optBlockOverwriteCursor, optShowWrapGlyph, optSmartFill, optUseTAB,
    optPrintWrap, optPrintLineNos, optPrintFilename, optPrintDate, optPrintPageNos,
    optShowRMargin, optShowGutter, optShowWrapColumn, optWordWrap, optWrapOverride,
    optProcessDroppedFiles, optColumnTrack, optOLEDragSource,
};
inline constexpr int EditorOptionCount = 22;
using EditorOptions = quint32;
inline constexpr EditorOptions bit(EditorOption o) { return EditorOptions(1) << int(o); }

// The page text editor: a plain-text editor with HTML highlighting, a
// gutter, the right-margin line, auto-indent, overwrite mode with a block
// cursor, word movement by the form's word-character rules, and copying
// with colours.
class THtmlMemo : public QPlainTextEdit {
    Q_OBJECT
signals:
    // The word-wrap option changed (by the options dialog or by the form).
    void wordWrapChanged(bool wrap);

public:
    using CharTest = std::function<bool(QChar)>;

    explicit THtmlMemo(QWidget *parent = nullptr);
    ~THtmlMemo() override;

    // The selection, in characters from the start of the text; a line break
    // counts as one.
    int SelStart() const;
    void setSelStart(int position);
    int SelLength() const;
    void setSelLength(int length);
    QString SelText() const;
    void setSelText(const QString &text); // one undo step; caret behind it

    // The text as lines, without their breaks: an empty text has none, and
    // a final line break starts no further line.
    QStringList Lines() const;

    // The text, as QPlainTextEdit's, except that a long one arrives in pieces
    // between events, so that opening a large page leaves the window
    // answering at once. Whatever reads or edits the text through this
    // class (and every key, input method, paste, drop and context menu)
    // first takes in the rest, so nothing ever sees or edits a part.
    void setPlainText(const QString &text);
    QString toPlainText() const;
    QTextDocument *document() const;
    void clear();
    bool isLoading() const { return m_loadedTo < m_loading.size(); }
    void finishLoading();
    // Whether the text changed since it was set or last marked unchanged;
    // unlike document(), it leaves a load arriving.
    bool isModified() const;
    void setModified(bool modified);
    static constexpr qsizetype LoadedAtOnce = 64 * 1024; // and the pieces after it

    bool WordWrap() const;
    void setWordWrap(bool wrap);
    // A line longer than this is shown wrapped even without the word-wrap
    // option (which stays as chosen): unwrapped, every key typed into it
    // would have Qt draw each of its glyphs again.
    static constexpr int WrappedLineLength = 20000;
    bool wrapsForLongLine() const { return m_longLineWrap; }

    void setPopupMenu(QMenu *menu);
    QMenu *popupMenu() const { return m_popup; }

    CharTest fn_CharIsInWord;
    CharTest fn_CharStartsWord;

    EditorOptions options() const { return m_options; }
    void setOptions(EditorOptions options);
    bool hasOption(EditorOption o) const { return m_options & bit(o); }

    int gutterWidth() const { return m_gutter; }
    int rightMargin() const { return m_rightMargin; }
    int tabDefault() const { return m_tab; }

    const HighlightScheme &scheme() const;
    void setScheme(const HighlightScheme &scheme);
    HtmlHighlighter *highlighter() const { return m_highlighter; }

    // Where the highlighting settings live ("Highlighting - HTML" and
    // "Key Assignments - HTML" under the key); empty key: nowhere.
    void useRegistry(Registry *registry, const QString &key);
    void loadSettings();
    void saveSettings() const;
    QKeySequence optionsKey() const { return m_optionsKey; }
    // Why `key` cannot open "Editor options" ("" when it can): it must be one
    // key combination that types nothing and that no menu item or standard
    // editing command uses, or nothing would ever open the dialog.
    QString optionsKeyProblem(const QKeySequence &key) const;
    void setOptionsKey(const QKeySequence &key);
    // Opens "Editor options"; true when it was accepted with changes.
    bool showOptionsDialog();

    // Word boundaries by the word-character rules.
    int nextWordStart(int position) const;
    int previousWordStart(int position) const;
    std::pair<int, int> wordAt(int position) const;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void applyWrapMode();
    void noticeLongLines(int from, int charsRemoved, int charsAdded);
    void recheckLongLines();
    void appendLoaded(qsizetype to);
    void loadSomeMore();
    void endLoading();
    void updateCaretBlink();
    friend class MemoGutter;
    bool isInWord(QChar c) const;
    bool startsWord(QChar c) const;
    bool isWordStart(int position) const;
    QChar charAt(int position) const;
    bool menuTakesKey(const QKeyEvent *key) const;
    bool handleWordKeys(QKeyEvent *event);
    void insertNewLineWithIndent();
    void paintGutter(QPaintEvent *event);
    void updateCursorShape();

    QWidget *m_gutterWidget = nullptr;
    bool m_steadyCaret = false; // the caret does not blink on a very long line
    int m_flashTime = 0;        // the blink to give back
    HtmlHighlighter *m_highlighter = nullptr;
    QString m_loading;        // a text arriving in pieces
    qsizetype m_loadedTo = 0; // how much of it is in the document
    QTimer *m_loadTimer = nullptr;
    bool m_longLineWrap = false;
    QTimer *m_longLineCheck = nullptr; // whether the long line is gone, once the edits pause
    QMenu *m_popup = nullptr;
    Registry *m_registry = nullptr;
    QString m_registryKey;
    EditorOptions m_options = 0;
    static inline const QKeySequence DefaultOptionsKey = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    QKeySequence m_optionsKey = DefaultOptionsKey;
    int m_gutter = 18;
    int m_rightMargin = 80;
    int m_tab = 4;
};

// The editor's font: "Courier New" 13 px, or its metric twin where missing.
QFont editorFont();

} // namespace zk
