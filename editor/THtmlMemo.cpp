#include "THtmlMemo.h"

#include "EditorOptionsDialog.h"
#include "HtmlHighlighter.h"
#include "LayoutMemory.h"
#include "Messages.h"
#include "Prompts.h"
#include "Registry.h"
#include "RtfExport.h"

#include <QAbstractTextDocumentLayout>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QGuiApplication>
#include <QMimeData>
#include <QStyleHints>
#include <QTextLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTimer>

namespace zk {

QFont editorFont()
{
    QFont font(QStringLiteral("Courier New"));
    if (!QFontDatabase::families().contains(font.family()))
        font.setFamily(QStringLiteral("Liberation Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    // A monospaced font has nothing to shape: without shaping, a key typed
    // into a line of 1 MB costs half the time.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

class MemoGutter : public QWidget {
public:
    explicit MemoGutter(THtmlMemo *memo) : QWidget(memo), m_memo(memo) { setObjectName(QStringLiteral("Gutter")); }

protected:
    void paintEvent(QPaintEvent *event) override { m_memo->paintGutter(event); }

private:
    THtmlMemo *m_memo;
};

namespace {

const QString HighlightingValue = QStringLiteral("Highlighting - ");
const QString KeysValue = QStringLiteral("Key Assignments - ");

bool defaultStartsWord(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
}

bool defaultIsInWord(QChar c)
{
    const char16_t u = c.unicode();
    return defaultStartsWord(c) || (u >= u'0' && u <= u'9') || u == u'\'' || u == u'-';
}

} // namespace

THtmlMemo::THtmlMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setFont(editorFont());
    document()->setDocumentMargin(2);
    setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(u' ') * m_tab);
    setLineWrapMode(NoWrap);
    QPalette p = palette();
    p.setColor(QPalette::Highlight, QColor(0, 128, 128));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0, 128, 128));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
    m_gutterWidget = new MemoGutter(this);
    m_highlighter = new HtmlHighlighter(document());
    m_loadTimer = new QTimer(this);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &THtmlMemo::loadSomeMore);
    m_longLineCheck = new QTimer(this);
    m_longLineCheck->setSingleShot(true);
    m_longLineCheck->setInterval(300);
    connect(m_longLineCheck, &QTimer::timeout, this, &THtmlMemo::recheckLongLines);
    connect(QPlainTextEdit::document(), &QTextDocument::contentsChange, this, &THtmlMemo::noticeLongLines);
    connect(this, &QPlainTextEdit::updateRequest, m_gutterWidget, [this](const QRect &rect, int dy) {
        if (dy)
            m_gutterWidget->scroll(0, dy);
        else
            m_gutterWidget->update(0, rect.y(), m_gutterWidget->width(), rect.height());
    });
    setOptions(bit(EditorOption::optSyntaxHighlight) | bit(EditorOption::optAutoIndent) | bit(EditorOption::optUseTAB)
               | bit(EditorOption::optShowGutter) | bit(EditorOption::optShowRMargin) | bit(EditorOption::optWordSelect)
               | bit(EditorOption::optBlockOverwriteCursor) | bit(EditorOption::optShowWrapGlyph));
    document()->setModified(false);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &THtmlMemo::updateCaretBlink);
}

THtmlMemo::~THtmlMemo()
{
    if (m_steadyCaret)
        QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime);
}

void THtmlMemo::setOptions(EditorOptions options)
{
    const bool wrapChanged = ((m_options ^ options) & bit(EditorOption::optWordWrap)) != 0;
    m_options = options;
    m_highlighter->setEnabled(hasOption(EditorOption::optSyntaxHighlight));
    const bool gutter = hasOption(EditorOption::optShowGutter);
    m_gutterWidget->setVisible(gutter);
    setViewportMargins(gutter ? m_gutter : 0, 0, 0, 0);
    applyWrapMode();
    updateCursorShape();
    viewport()->update();
    if (wrapChanged)
        emit wordWrapChanged(hasOption(EditorOption::optWordWrap));
}

int THtmlMemo::SelStart() const
{
    return textCursor().selectionStart();
}

void THtmlMemo::setSelStart(int position)
{
    QTextCursor c = textCursor();
    c.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    setTextCursor(c);
}

int THtmlMemo::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void THtmlMemo::setSelLength(int length)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(std::clamp(start + length, 0, document()->characterCount() - 1), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString THtmlMemo::SelText() const
{
    return textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

void THtmlMemo::setSelText(const QString &text)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.insertText(text);
    c.endEditBlock();
    setTextCursor(c);
}

namespace {

// Where a piece of `text` from `from` ends: after a line break, so that no
// piece splits a CR LF or a surrogate pair, and a line is never cut.
qsizetype pieceEnd(const QString &text, qsizetype from)
{
    if (text.size() - from <= THtmlMemo::LoadedAtOnce)
        return text.size();
    const qsizetype lineEnd = text.indexOf(u'\n', from + THtmlMemo::LoadedAtOnce - 1);
    return lineEnd < 0 ? text.size() : lineEnd + 1;
}

constexpr qint64 LoadSliceMs = 8; // the longest the loading keeps events waiting

} // namespace

void THtmlMemo::setPlainText(const QString &text)
{
    endLoading();
    const qsizetype first = pieceEnd(text, 0);
    QPlainTextEdit::setPlainText(first == text.size() ? text : text.left(first));
    if (first == text.size())
        return;
    m_loading = text;
    m_loadedTo = first;
    QPlainTextEdit::document()->setUndoRedoEnabled(false); // the arriving pieces are no edits
    m_loadTimer->start();
}

// Puts the arriving text up to `to` at the end; the pieces are no change to the page.
void THtmlMemo::appendLoaded(qsizetype to)
{
    QTextDocument *doc = QPlainTextEdit::document();
    const bool modified = doc->isModified();
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    end.insertText(m_loading.mid(m_loadedTo, to - m_loadedTo));
    m_loadedTo = to;
    doc->setModified(modified);
    if (!isLoading())
        endLoading();
}

void THtmlMemo::loadSomeMore()
{
    QElapsedTimer spent;
    spent.start();
    do
        appendLoaded(pieceEnd(m_loading, m_loadedTo));
    while (isLoading() && spent.elapsed() < LoadSliceMs);
}

void THtmlMemo::finishLoading()
{
    if (isLoading())
        appendLoaded(m_loading.size());
}

void THtmlMemo::endLoading()
{
    m_loadTimer->stop();
    if (m_loading.isNull())
        return;
    m_loading = QString();
    m_loadedTo = 0;
    QPlainTextEdit::document()->setUndoRedoEnabled(true);
}

QString THtmlMemo::toPlainText() const
{
    const_cast<THtmlMemo *>(this)->finishLoading();
    return QPlainTextEdit::toPlainText();
}

QTextDocument *THtmlMemo::document() const
{
    const_cast<THtmlMemo *>(this)->finishLoading();
    return QPlainTextEdit::document();
}

void THtmlMemo::clear()
{
    endLoading();
    QPlainTextEdit::clear();
}

bool THtmlMemo::isModified() const
{
    return QPlainTextEdit::document()->isModified();
}

void THtmlMemo::setModified(bool modified)
{
    QPlainTextEdit::document()->setModified(modified);
}

QStringList THtmlMemo::Lines() const
{
    QStringList lines;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool THtmlMemo::WordWrap() const
{
    return hasOption(EditorOption::optWordWrap);
}

void THtmlMemo::applyWrapMode()
{
    setLineWrapMode(hasOption(EditorOption::optWordWrap) || m_longLineWrap ? WidgetWidth : NoWrap);
}

// Only the lines a change touched can have become long; whether the last
// long line is gone waits for a pause in the edits, since it takes a look
// at every line. A long line keeps its shaped glyphs between layouts: Qt
// drops them after each layout by default and then shapes the whole line
// again for the caret's position and again for painting it.
void THtmlMemo::noticeLongLines(int from, int /*charsRemoved*/, int charsAdded)
{
    if (m_longLineWrap)
        m_longLineCheck->start();
    const QTextDocument *doc = QPlainTextEdit::document();
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= from + charsAdded; b = b.next()) {
        if (b.length() <= WrappedLineLength)
            continue;
        if (!b.layout()->cacheEnabled()) {
            b.layout()->setCacheEnabled(true);
            // After the layout that this change brings, so that the reserve is all left for the next ones.
            QTimer::singleShot(0, this, [length = b.length()] { reserveMemoryForLayout(length); });
        }
        if (!m_longLineWrap) {
            m_longLineWrap = true;
            applyWrapMode();
        }
    }
}

void THtmlMemo::recheckLongLines()
{
    const QTextDocument *doc = QPlainTextEdit::document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (b.length() > WrappedLineLength)
            return;
    m_longLineWrap = false;
    applyWrapMode();
}

void THtmlMemo::setWordWrap(bool wrap)
{
    setOptions(wrap ? (m_options | bit(EditorOption::optWordWrap)) : (m_options & ~bit(EditorOption::optWordWrap)));
}

namespace {

// The menu item (in submenus too) whose shortcut is `key`, or null.
const QAction *actionWithKey(const QMenu *menu, const QKeySequence &key)
{
    for (const QAction *a : menu->actions()) {
        if (a->menu())
            if (const QAction *inner = actionWithKey(a->menu(), key))
                return inner;
        if (!a->shortcut().isEmpty() && a->shortcut().matches(key) == QKeySequence::ExactMatch)
            return a;
    }
    return nullptr;
}

bool typesOrMovesAlone(const QKeyCombination &combination)
{
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const int key = combination.key();
    return key == Qt::Key_F1 || key < Qt::Key_F2 || key > Qt::Key_F35; // F2..F35 alone are free; F1 is help
}

} // namespace

QString THtmlMemo::optionsKeyProblem(const QKeySequence &key) const
{
    const QString shown = u'"' + key.toString(QKeySequence::NativeText) + u'"';
    if (key.count() != 1)
        return QStringLiteral("Klawisz %1 nie może otwierać opcji edytora: wybierz jedną kombinację klawiszy, "
                              "np. Ctrl+Shift+E!")
            .arg(shown);
    if (typesOrMovesAlone(key[0]))
        return QStringLiteral("Klawisz %1 nie może otwierać opcji edytora: bez Ctrl lub Alt pisze lub działa w tekście!")
            .arg(shown);
    if (m_popup)
        if (const QAction *a = actionWithKey(m_popup, key))
            return QStringLiteral("Klawisz %1 nie może otwierać opcji edytora: używa go polecenie \"%2\"!")
                .arg(shown, a->text().remove(u'&'));
    for (QKeySequence::StandardKey standard : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                               QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll})
        if (QKeySequence::keyBindings(standard).contains(key))
            return QStringLiteral("Klawisz %1 nie może otwierać opcji edytora: to klawisz edycji tekstu!").arg(shown);
    return {};
}

void THtmlMemo::setPopupMenu(QMenu *menu)
{
    if (m_popup)
        for (QAction *a : m_popup->actions())
            removeAction(a);
    m_popup = menu;
    if (!menu)
        return;
    for (QAction *a : menu->actions()) {
        a->setShortcutContext(Qt::WidgetShortcut);
        addAction(a);
    }
    if (!optionsKeyProblem(m_optionsKey).isEmpty())
        m_optionsKey = DefaultOptionsKey; // a stored key a menu item took over
}

const HighlightScheme &THtmlMemo::scheme() const
{
    return m_highlighter->scheme();
}

void THtmlMemo::setScheme(const HighlightScheme &scheme)
{
    m_highlighter->setScheme(scheme);
}

void THtmlMemo::setOptionsKey(const QKeySequence &key)
{
    m_optionsKey = key;
}

void THtmlMemo::useRegistry(Registry *registry, const QString &key)
{
    m_registry = registry;
    m_registryKey = key;
}

void THtmlMemo::loadSettings()
{
    if (!m_registry || m_registryKey.isEmpty())
        return;
    const HtmlGrammar grammar;
    if (const auto text = m_registry->readString(Hive::CurrentUser, m_registryKey, HighlightingValue + grammar.name()))
        setScheme(HighlightScheme::fromText(*text));
    if (const auto keys = m_registry->readBytes(Hive::CurrentUser, m_registryKey, KeysValue + grammar.name())) {
        QDataStream in(*keys);
        quint8 version = 0;
        QString name, sequence;
        in >> version >> name >> sequence;
        const QKeySequence key(sequence, QKeySequence::PortableText);
        // A stored key that could never open the dialog is ignored: the
        // default stays, so the dialog can always be reached.
        if (in.status() == QDataStream::Ok && version == 1 && name == u"EditorOptions" && !key.isEmpty()
            && optionsKeyProblem(key).isEmpty())
            m_optionsKey = key;
    }
}

void THtmlMemo::saveSettings() const
{
    if (!m_registry || m_registryKey.isEmpty())
        return;
    const HtmlGrammar grammar;
    m_registry->writeString(Hive::CurrentUser, m_registryKey, HighlightingValue + grammar.name(), scheme().toText());
    QByteArray keys;
    QDataStream out(&keys, QIODevice::WriteOnly);
    out << quint8(1) << QStringLiteral("EditorOptions") << m_optionsKey.toString(QKeySequence::PortableText);
    m_registry->writeBytes(Hive::CurrentUser, m_registryKey, KeysValue + grammar.name(), keys);
}

bool THtmlMemo::showOptionsDialog()
{
    EditorOptionsDialog dialog({m_options, scheme(), m_optionsKey}, this,
                               [this](const QKeySequence &key) { return optionsKeyProblem(key); });
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const EditorSettings chosen = dialog.settings();
    const bool changed = chosen.options != m_options || !(chosen.scheme == scheme()) || chosen.optionsKey != m_optionsKey;
    if (!changed)
        return false;
    setOptions(chosen.options);
    setScheme(chosen.scheme);
    m_optionsKey = chosen.optionsKey;
    try {
        saveSettings();
    } catch (const AppError &e) {
        // The choices hold for this session; the user hears why they will not outlive it.
        BladMsg(MB_ICONERROR, QStringLiteral("BŁĄD!"), e.text(), this);
    }
    return true;
}

QChar THtmlMemo::charAt(int position) const
{
    return document()->characterAt(position);
}

bool THtmlMemo::isInWord(QChar c) const
{
    return fn_CharIsInWord ? fn_CharIsInWord(c) : defaultIsInWord(c);
}

bool THtmlMemo::startsWord(QChar c) const
{
    return fn_CharStartsWord ? fn_CharStartsWord(c) : defaultStartsWord(c);
}

bool THtmlMemo::isWordStart(int position) const
{
    return startsWord(charAt(position)) && (position == 0 || !isInWord(charAt(position - 1)));
}

int THtmlMemo::nextWordStart(int position) const
{
    const int end = document()->characterCount() - 1;
    for (int p = position + 1; p < end; ++p)
        if (isWordStart(p))
            return p;
    return end;
}

int THtmlMemo::previousWordStart(int position) const
{
    for (int p = position - 1; p > 0; --p)
        if (isWordStart(p))
            return p;
    return 0;
}

std::pair<int, int> THtmlMemo::wordAt(int position) const
{
    int p = position;
    if (!isInWord(charAt(p)) && p > 0 && isInWord(charAt(p - 1)))
        --p;
    if (!isInWord(charAt(p)))
        return {position, position};
    int start = p, end = p;
    while (start > 0 && isInWord(charAt(start - 1)))
        --start;
    while (end < document()->characterCount() - 1 && isInWord(charAt(end)))
        ++end;
    return {start, end};
}

bool THtmlMemo::menuTakesKey(const QKeyEvent *key) const
{
    if (!m_popup)
        return false;
    const QKeySequence pressed(key->keyCombination());
    for (const QAction *a : m_popup->actions())
        if (!a->shortcut().isEmpty() && a->shortcut().matches(pressed) == QKeySequence::ExactMatch && a->isEnabled())
            return true;
    return false;
}

bool THtmlMemo::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        finishLoading(); // a key may edit, select or move anywhere in the text
        break;
    default:
        break;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        // The menu's shortcuts win over the editor's own bindings (Ctrl+A, ...).
        if (menuTakesKey(key) || QKeySequence(key->keyCombination()) == m_optionsKey) {
            event->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

bool THtmlMemo::handleWordKeys(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier))
        return false;
    const bool select = mods & Qt::ShiftModifier;
    QTextCursor c = textCursor();
    const int pos = c.position();
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Left:
        c.setPosition(event->key() == Qt::Key_Right ? nextWordStart(pos) : previousWordStart(pos),
                      select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (select)
            return false;
        if (!c.hasSelection())
            c.setPosition(event->key() == Qt::Key_Delete ? nextWordStart(pos) : previousWordStart(pos),
                          QTextCursor::KeepAnchor);
        c.removeSelectedText();
        break;
    default:
        return false;
    }
    setTextCursor(c);
    return true;
}

void THtmlMemo::insertNewLineWithIndent()
{
    QTextCursor c = textCursor();
    const QString line = c.block().text();
    qsizetype indent = 0;
    while (indent < line.size() && indent < c.positionInBlock() && (line[indent] == u' ' || line[indent] == u'\t'))
        ++indent;
    c.beginEditBlock();
    c.insertBlock();
    c.insertText(line.left(indent));
    c.endEditBlock();
    setTextCursor(c);
}

void THtmlMemo::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (QKeySequence(event->keyCombination()) == m_optionsKey) {
        showOptionsDialog();
        return;
    }
    if (event->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        updateCursorShape();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::ShiftModifier) {
        // Shift+Enter would put a line separator (U+2028) inside the line,
        // which the page then carries as "&#8232;": it starts a line as Enter does.
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                        event->isAutoRepeat(), ushort(event->count()));
        keyPressEvent(&plain);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier
        && hasOption(EditorOption::optAutoIndent)) {
        insertNewLineWithIndent();
        return;
    }
    if (event->key() == Qt::Key_Tab && mods == Qt::NoModifier && !hasOption(EditorOption::optUseTAB)) {
        const int column = textCursor().positionInBlock();
        insertPlainText(QString(m_tab - column % m_tab, u' '));
        return;
    }
    if (handleWordKeys(event))
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void THtmlMemo::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!hasOption(EditorOption::optWordSelect) || event->button() != Qt::LeftButton) {
        QPlainTextEdit::mouseDoubleClickEvent(event);
        return;
    }
    const auto [start, end] = wordAt(cursorForPosition(event->position().toPoint()).position());
    QTextCursor c = textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void THtmlMemo::contextMenuEvent(QContextMenuEvent *event)
{
    finishLoading();
    if (m_popup)
        m_popup->exec(event->globalPos());
    else
        QPlainTextEdit::contextMenuEvent(event);
}

void THtmlMemo::updateCursorShape()
{
    // Qt draws the overwrite cursor as a block itself; the thin insert cursor
    // is two pixels wide so it stays visible on the teal selection.
    setCursorWidth(overwriteMode() ? 1 : 2);
}

void THtmlMemo::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_gutterWidget->setGeometry(r.left(), r.top(), m_gutter, r.height());
}

void THtmlMemo::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!hasOption(EditorOption::optShowRMargin))
        return;
    QPainter p(viewport());
    const qreal x = contentOffset().x() + QPlainTextEdit::document()->documentMargin()
                    + QFontMetricsF(font()).horizontalAdvance(u'x') * m_rightMargin;
    p.setPen(QColor(192, 192, 192));
    p.drawLine(QPointF(x, 0), QPointF(x, viewport()->height()));
}

// The first line of the layout whose bottom is below y (layout coordinates).
static int firstLineBelow(const QTextLayout &layout, qreal y)
{
    int low = 0, high = layout.lineCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (layout.lineAt(mid).rect().bottom() < y)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

// A caret blink repaints its line, and a very long line costs a full layout
// pass each time: on such a line the caret stays lit instead.
void THtmlMemo::updateCaretBlink()
{
    const bool steady = hasFocus() && textCursor().block().length() > HtmlHighlighter::ColouredPrefix;
    if (steady == m_steadyCaret)
        return;
    QStyleHints *hints = QGuiApplication::styleHints();
    if (steady) {
        m_flashTime = hints->cursorFlashTime();
        hints->setCursorFlashTime(0);
    } else {
        hints->setCursorFlashTime(m_flashTime);
    }
    m_steadyCaret = steady;
}

void THtmlMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    updateCaretBlink();
}

void THtmlMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    updateCaretBlink();
}

void THtmlMemo::paintGutter(QPaintEvent *event)
{
    QPainter p(m_gutterWidget);
    p.fillRect(event->rect(), QColor(236, 236, 236));
    p.setPen(QColor(160, 160, 160));
    p.drawLine(m_gutter - 1, event->rect().top(), m_gutter - 1, event->rect().bottom());
    if (!hasOption(EditorOption::optShowWrapGlyph) || !WordWrap())
        return;
    p.setPen(QColor(0, 128, 128));
    for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
        const QRectF box = blockBoundingGeometry(b).translated(contentOffset());
        if (box.top() > event->rect().bottom())
            break;
        const QTextLayout *layout = b.layout();
        if (!layout)
            continue;
        // Only the lines in the painted band: a long wrapped line has thousands.
        int i = firstLineBelow(*layout, event->rect().top() - box.top());
        for (i = std::max(i, 1); i < layout->lineCount(); ++i) {
            const QRectF line = layout->lineAt(i).rect().translated(box.topLeft());
            if (line.top() > event->rect().bottom())
                break;
            p.drawText(QRectF(2, line.top(), m_gutter - 4, line.height()), Qt::AlignCenter, QStringLiteral("↳"));
        }
    }
}

// Our own data, not Qt's: its format list is fixed, so on X11 the clipboard
// would never offer RTF, and its HTML would lack the highlighting colours.
QMimeData *THtmlMemo::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    const QTextCursor c = textCursor();
    data->setText(c.selectedText().replace(QChar::ParagraphSeparator, u'\n'));
    data->setHtml(htmlOfRange(document(), c.selectionStart(), c.selectionEnd(), font()));
    const QByteArray rtf = rtfOfRange(document(), c.selectionStart(), c.selectionEnd(), font());
    data->setData(QStringLiteral("text/rtf"), rtf);
    data->setData(QStringLiteral("application/rtf"), rtf);
    return data;
}

void THtmlMemo::insertFromMimeData(const QMimeData *source)
{
    finishLoading(); // a paste or a drop lands where the whole text has it
    QPlainTextEdit::insertFromMimeData(source);
}

} // namespace zk
