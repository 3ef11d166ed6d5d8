#include "EditorCommands.h"
#include "EditorOptionsDialog.h"
#include "HighlightScheme.h"
#include "HtmlGrammar.h"
#include "HtmlHighlighter.h"
#include "Isolated.h"
#include "QtPrompts.h"
#include "Services.h"
#include "THtmlMemo.h"
#include "TabWalk.h"

#include "ColorPickerButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFile>
#include <QKeySequenceEdit>
#include <QMenu>
#include <QMessageBox>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QStyleHints>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTimer>

using namespace zk;
using zk::testing::Isolated;

namespace {

class MemoTest : public Isolated {
protected:
    void SetUp() override
    {
        Isolated::SetUp();
        memo = std::make_unique<THtmlMemo>();
        memo->resize(500, 300);
    }
    void TearDown() override
    {
        memo.reset();
        Isolated::TearDown();
    }
    void select(int start, int length)
    {
        memo->setSelStart(start);
        memo->setSelLength(length);
    }
    std::unique_ptr<THtmlMemo> memo;
};

TEST_F(MemoTest, StartsAsTheFormSetsItUp)
{
    const QString family = memo->font().family();
    EXPECT_TRUE(family == QStringLiteral("Courier New") || family == QStringLiteral("Liberation Mono")) << family.toStdString();
    EXPECT_EQ(memo->font().pixelSize(), 13);
    EXPECT_EQ(memo->gutterWidth(), 18);
    EXPECT_EQ(memo->document()->documentMargin(), 2);
    EXPECT_EQ(memo->rightMargin(), 80);
    EXPECT_DOUBLE_EQ(memo->tabStopDistance(), QFontMetricsF(memo->font()).horizontalAdvance(u' ') * 4);
    EXPECT_EQ(memo->palette().color(QPalette::Highlight), QColor(0, 128, 128));
    EXPECT_EQ(memo->palette().color(QPalette::HighlightedText), QColor(Qt::white));
    EXPECT_FALSE(memo->WordWrap());
    EXPECT_FALSE(memo->document()->isModified());
    EXPECT_TRUE(memo->Lines().isEmpty());
}

TEST_F(MemoTest, SelectionCountsALineBreakAsOneCharacter)
{
    memo->setPlainText(QStringLiteral("abc\ndef\nghi"));
    select(2, 4);
    EXPECT_EQ(memo->SelStart(), 2);
    EXPECT_EQ(memo->SelLength(), 4);
    EXPECT_EQ(memo->SelText(), QStringLiteral("c\nde"));
    memo->setSelText(QStringLiteral("X\nY"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("abX\nYf\nghi"));
    EXPECT_EQ(memo->SelStart(), 5) << "the caret stands behind the inserted text";
    EXPECT_EQ(memo->SelLength(), 0);
    memo->undo();
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("abc\ndef\nghi")) << "one undo step";
}

TEST_F(MemoTest, LinesAreLogicalAndWhole)
{
    memo->setPlainText(QStringLiteral("a\n"));
    EXPECT_EQ(memo->Lines(), QStringList{QStringLiteral("a")});
    memo->setPlainText(QStringLiteral("a\n\nb"));
    EXPECT_EQ(memo->Lines(), (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    const QString longLine(5000, u'x');
    memo->setPlainText(longLine + QStringLiteral("\nkoniec"));
    memo->setWordWrap(true);
    memo->show();
    QApplication::processEvents();
    EXPECT_GT(memo->document()->firstBlock().layout()->lineCount(), 1) << "shown wrapped";
    EXPECT_EQ(memo->Lines(), (QStringList{longLine, QStringLiteral("koniec")}));
    memo->hide();
}

TEST_F(MemoTest, WrappingCommandsLeaveTheCaretInsideTheTags)
{
    memo->setPlainText(QStringLiteral("0123456789abcdef"));
    memo->setSelStart(10);
    wrapSelection(memo.get(), QStringLiteral("<B>"), QStringLiteral("</B>"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("0123456789<B></B>abcdef"));
    EXPECT_EQ(memo->SelStart(), 13);
    EXPECT_EQ(memo->SelLength(), 0);

    memo->setPlainText(QStringLiteral("0123456789"));
    select(5, 3);
    wrapSelection(memo.get(), QStringLiteral("<I>"), QStringLiteral("</I>"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("01234<I>567</I>89"));
    EXPECT_EQ(memo->SelStart(), 8);
    EXPECT_EQ(memo->SelText(), QStringLiteral("567"));
    wrapSelection(memo.get(), QStringLiteral("<I>"), QStringLiteral("</I>"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("01234<I><I>567</I></I>89"));
    EXPECT_EQ(memo->SelText(), QStringLiteral("567"));

    memo->setPlainText(QStringLiteral("ab\ncd"));
    select(1, 3);
    wrapSelection(memo.get(), QStringLiteral("<P>"), QStringLiteral("</P>"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("a<P>b\nc</P>d"));
    EXPECT_EQ(memo->SelText(), QStringLiteral("b\nc"));
}

TEST_F(MemoTest, WordMovementFollowsTheFormsWordCharacters)
{
    memo->fn_CharIsInWord = Edytorekfn_CharIsInWord;
    memo->fn_CharStartsWord = Edytorekfn_CharStartsWord;
    //                                   0         1         2         3         4
    //                                   0123456789012345678901234567890123456789012345
    memo->setPlainText(QStringLiteral("żółw_2 it's well-known 2nd, źdźbło"));
    memo->show();
    memo->setFocus();
    memo->setSelStart(0);
    QList<int> stops;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(memo.get(), Qt::Key_Right, Qt::ControlModifier);
        stops << memo->SelStart();
    }
    EXPECT_EQ(stops, (QList<int>{7, 10, 12, 17, 28, 34, 34})) << "2nd begins no word";
    QTest::keyClick(memo.get(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(memo->SelText(), QStringLiteral("źdźbło"));
    memo->setSelStart(34);
    QTest::keyClick(memo.get(), Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("żółw_2 it's well-known 2nd, "));
    EXPECT_EQ(memo->wordAt(2), std::make_pair(0, 6)) << "double-click selects the Polish word with its digit";
    memo->setSelStart(2);
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, memo->cursorRect().center());
    EXPECT_EQ(memo->SelText(), QStringLiteral("żółw_2"));
    memo->hide();
}

TEST_F(MemoTest, WithoutCallbacksTheEditorsOwnWordRuleApplies)
{
    memo->setPlainText(QStringLiteral("it's ab-cd żółw x"));
    EXPECT_EQ(memo->nextWordStart(0), 5) << "apostrophe continues a word";
    EXPECT_EQ(memo->nextWordStart(5), 14) << "hyphen continues a word; Polish letters are outside words, so w starts one";
}

TEST_F(MemoTest, InsertTogglesOverwriteAndEnterKeepsTheIndent)
{
    memo->show();
    memo->setFocus();
    memo->setPlainText(QStringLiteral("    <P>abc"));
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo.get(), Qt::Key_Return);
    QTest::keyClicks(memo.get(), QStringLiteral("x"));
    EXPECT_EQ(memo->Lines(), (QStringList{QStringLiteral("    <P>abc"), QStringLiteral("    x")}));
    memo->setSelStart(4);
    QTest::keyClick(memo.get(), Qt::Key_Insert);
    EXPECT_TRUE(memo->overwriteMode());
    QTest::keyClicks(memo.get(), QStringLiteral("<H"));
    EXPECT_EQ(memo->Lines().first(), QStringLiteral("    <H>abc")) << "typed characters replace the ones under the caret";
    QTest::keyClick(memo.get(), Qt::Key_Insert);
    EXPECT_FALSE(memo->overwriteMode());

    memo->setPlainText(QStringLiteral("abc"));
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo.get(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(memo.get(), QStringLiteral("def"));
    EXPECT_EQ(memo->Lines(), (QStringList{QStringLiteral("abc"), QStringLiteral("def")})) << "Shift+Enter starts a line";
    EXPECT_FALSE(memo->toPlainText().contains(QChar(0x2028)));
    memo->hide();
}

TEST_F(MemoTest, CopyPutsPlainTextAndColouredRtfOnTheClipboard)
{
    memo->setPlainText(QStringLiteral("<B>Zażółć</B>"));
    memo->highlighter()->rehighlight();
    memo->selectAll();
    memo->copy();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("<B>Zażółć</B>"));
    const QByteArray rtf = data->data(QStringLiteral("text/rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\red0\\green0\\blue128")) << "the tag colour is in the colour table";
    EXPECT_TRUE(rtf.contains("\\b <B>}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("Za\\u380?\\u243?\\u322?\\u263?")) << rtf.constData();
    const QString html = data->html();
    EXPECT_TRUE(html.contains(QStringLiteral("<span style=\"color:#000080;font-weight:bold\">&lt;B&gt;</span>"))) << qPrintable(html);
    EXPECT_TRUE(html.contains(QStringLiteral("Zażółć"))) << qPrintable(html);
    EXPECT_TRUE(data->formats().contains(QStringLiteral("text/rtf"))) << "offered, not only stored";
}

TEST_F(MemoTest, AnOverLongLineIsColouredAtItsStartAndKeepsTheCaretLit)
{
    const int prefix = HtmlHighlighter::ColouredPrefix;
    const QString longLine = QStringLiteral("<B>x</B>").repeated(prefix / 8 + 100) + QStringLiteral("<!-- otwarty");
    memo->setPlainText(longLine + QStringLiteral("\n<B>dalej</B>\nkrótki"));
    memo->highlighter()->rehighlight();
    const auto formatAt = [&](int blockNumber, int column) {
        for (const QTextLayout::FormatRange &r : memo->document()->findBlockByNumber(blockNumber).layout()->formats())
            if (column >= r.start && column < r.start + r.length)
                return r.format;
        return QTextCharFormat();
    };
    EXPECT_TRUE(formatAt(0, 1).foreground().style() != Qt::NoBrush) << "the start is coloured";
    EXPECT_EQ(formatAt(0, prefix + 17).foreground().style(), Qt::NoBrush) << "past the prefix: plain";
    EXPECT_TRUE(formatAt(1, 1).fontItalic()) << "the comment opened far along the long line still colours the next";

    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    memo->show();
    memo->activateWindow();
    memo->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(memo.get()));
    memo->moveCursor(QTextCursor::Start);
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), 0) << "no blink on the long line";
    memo->moveCursor(QTextCursor::End);
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), flash) << "the short line blinks again";
    memo->moveCursor(QTextCursor::Start);
    memo.reset();
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), flash) << "given back when the editor goes";
}

TEST_F(MemoTest, EditingOneLineReColoursOnlyTheLinesWhoseStateChanges)
{
    QStringList lines;
    for (int i = 0; i < 2000; ++i)
        lines << QStringLiteral("<P ALIGN=CENTER>Wiersz %1 &nbsp; <A HREF=\"http://x.pl/\">x</A></P>").arg(i);
    memo->setPlainText(lines.join(u'\n'));
    memo->finishLoading(); // over LoadedAtOnce: the rest would arrive while the counter runs
    memo->highlighter()->rehighlight();
    memo->highlighter()->resetCounter();
    QTextCursor c(memo->document()->findBlockByNumber(1000));
    c.insertText(QStringLiteral("a"));
    EXPECT_EQ(memo->highlighter()->highlightedBlocks(), 1);
    c.insertText(QStringLiteral("<!--"));
    const qint64 opened = memo->highlighter()->highlightedBlocks();
    EXPECT_EQ(opened, 1 + 1000) << "an open comment changes every later line";
    const QTextBlock later = memo->document()->findBlockByNumber(1500);
    ASSERT_FALSE(later.layout()->formats().isEmpty());
    EXPECT_TRUE(later.layout()->formats().first().format.fontItalic()) << "later lines are shown as comment";
}

// What the grammar and the scheme say each character of a block looks like:
// an invalid format where the character is shown plain.
static QList<QTextCharFormat> expectedLook(const HtmlGrammar &grammar, const HighlightScheme &scheme, const QString &line,
                                           int &state)
{
    QList<QTextCharFormat> look(line.size());
    state = grammar.highlightLine(line, state, [&](int start, int length, HtmlClass c) {
        const ClassStyle &style = scheme.style(c);
        const bool plain = !style.bold && !style.italic && !style.underline && !style.background.isValid()
                           && (!style.foreground.isValid() || style.foreground == QColor(Qt::black));
        for (int i = start; i < start + length && i < HtmlHighlighter::ColouredPrefix; ++i)
            look[i] = plain ? QTextCharFormat() : scheme.format(c);
    });
    return look;
}

// The first block (numbered) whose layout shows another look than expected; -1 when none.
static int firstBlockLookingWrong(const QTextDocument &document, const HighlightScheme &scheme)
{
    const HtmlGrammar grammar;
    int state = HtmlGrammar::InitialState;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QList<QTextCharFormat> expected = expectedLook(grammar, scheme, block.text(), state);
        QList<QTextCharFormat> shown(block.text().size());
        for (const QTextLayout::FormatRange &r : block.layout()->formats())
            for (int i = r.start; i < r.start + r.length && i < shown.size(); ++i)
                shown[i] = r.format;
        if (shown != expected)
            return block.blockNumber();
    }
    return -1;
}

// The highlighter holds the document's own copy of each format once it has
// used it; a new text, a new scheme or a second page must still show exactly
// the scheme's colours.
TEST_F(MemoTest, EveryCharacterShowsTheSchemesLookAcrossLoadsAndSchemes)
{
    const auto page = [](const char *name) {
        QFile file(QStringLiteral(ZK_SOURCE_DIR "/tests/editor/input/") + QLatin1String(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return QString::fromUtf8(file.readAll());
    };
    const auto loaded = [&](const QString &text) {
        memo->setPlainText(text);
        memo->finishLoading();
        return firstBlockLookingWrong(*memo->document(), memo->highlighter()->scheme());
    };
    EXPECT_EQ(loaded(page("piekarnia-1998.html")), -1);
    EXPECT_EQ(loaded(page("skrypt-js.html") + page("skrypt-vb.html")), -1) << "a second page into the same editor";

    HighlightScheme scheme = HighlightScheme::defaults();
    scheme.style(HtmlClass::TagName).foreground = QColor(0x12, 0x34, 0x56);
    scheme.style(HtmlClass::String) = scheme.style(HtmlClass::TagName); // two classes that look alike
    scheme.style(HtmlClass::Comment).bold = true;
    memo->highlighter()->setScheme(scheme);
    EXPECT_EQ(firstBlockLookingWrong(*memo->document(), scheme), -1) << "the new scheme, on the text already there";
    EXPECT_EQ(loaded(page("piekarnia-1998.html") + page("licznik-vb.html")), -1) << "the new scheme, on a new text";

    QTextCursor c(memo->document()->findBlockByNumber(3));
    c.insertText(QStringLiteral("<B CLASS=\"x\">&amp;<!-- otwarty"));
    EXPECT_EQ(firstBlockLookingWrong(*memo->document(), scheme), -1) << "after typing a comment open";
}

// A text of 1.4 MB: many lines with Polish letters, a CR LF, a 300,000-character
// line, and a comment opened at its start that only its last line closes.
static QString longText()
{
    QString text = QStringLiteral("<!-- komentarz do końca\r\n");
    for (int i = 0; i < 15000; ++i)
        text += QStringLiteral("<P>Wiersz %1: zażółć gęślą jaźń &nbsp; <A HREF=\"x.html\">x</A>\n").arg(i);
    text += QString(300000, u'ż') + u'\n';
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("dalej %1\n").arg(i);
    return text + QStringLiteral("koniec -->");
}

// What Qt's own editor holds for a text put in at once (a CR LF is one break).
static QString asQtHoldsIt(const QString &text)
{
    QPlainTextEdit plain;
    plain.setPlainText(text);
    return plain.toPlainText();
}

TEST_F(MemoTest, ALongTextArrivesInPiecesAndReadsWholeAtOnce)
{
    const QString text = longText();
    const QString whole = asQtHoldsIt(text);
    memo->setPlainText(text);
    ASSERT_TRUE(memo->isLoading());
    const QTextDocument *doc = static_cast<QPlainTextEdit *>(memo.get())->document();
    EXPECT_LT(doc->characterCount(), text.size() / 4) << "only the start is put in at once";
    EXPECT_EQ(memo->toPlainText(), whole) << "a reader gets the whole text, exactly";
    EXPECT_FALSE(memo->isLoading());
    EXPECT_FALSE(memo->document()->isUndoAvailable()) << "the pieces are no edits to undo";

    memo->setPlainText(text);
    memo->setModified(false);
    QDeadlineTimer deadline(20000);
    while (memo->isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(memo->isLoading()) << "the rest arrives between events";
    EXPECT_EQ(memo->document()->toPlainText(), whole);
    EXPECT_EQ(memo->Lines().size(), whole.count(u'\n') + 1);
    EXPECT_FALSE(memo->isModified()) << "arriving pieces are no change to the page";
    EXPECT_FALSE(memo->document()->isUndoAvailable());
    EXPECT_TRUE(memo->document()->isUndoRedoEnabled());
    const QTextBlock last = memo->document()->lastBlock();
    ASSERT_FALSE(last.layout()->formats().isEmpty());
    EXPECT_TRUE(last.layout()->formats().first().format.fontItalic()) << "the comment opened in the first piece goes on";

    memo->setPlainText(QStringLiteral("krótki"));
    EXPECT_FALSE(memo->isLoading());
    EXPECT_EQ(static_cast<QPlainTextEdit *>(memo.get())->toPlainText(), QStringLiteral("krótki"));
}

TEST_F(MemoTest, WhatIsTypedOrPastedWhileATextArrivesLandsInTheWholeText)
{
    const QString text = longText();
    const QString whole = asQtHoldsIt(text);
    memo->show();
    memo->setFocus();
    memo->setPlainText(text);
    ASSERT_TRUE(memo->isLoading());
    QTest::keyClick(memo.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_FALSE(memo->isLoading());
    EXPECT_EQ(memo->SelStart(), whole.size()) << "Ctrl+End goes to the end of the whole text";
    QTest::sendKeyEvent(QTest::Click, memo.get(), Qt::Key_A, QStringLiteral("ą"), Qt::NoModifier);
    EXPECT_EQ(memo->toPlainText(), whole + QStringLiteral("ą"));
    EXPECT_TRUE(memo->isModified());
    QTest::keyClick(memo.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->toPlainText(), whole) << "the typed letter is the only step to undo";
    EXPECT_FALSE(memo->document()->isUndoAvailable());

    memo->setPlainText(text);
    ASSERT_TRUE(memo->isLoading());
    QGuiApplication::clipboard()->setText(QStringLiteral("<B>wklejone</B>"));
    memo->paste(); // from the menu: no key goes through the editor; at the caret, the start
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("<B>wklejone</B>") + whole);

    memo->setPlainText(text);
    memo->clear();
    QCoreApplication::processEvents();
    EXPECT_TRUE(memo->toPlainText().isEmpty()) << "a cleared editor takes no more pieces";
}

TEST_F(MemoTest, ALineTooLongToShowUnwrappedIsWrappedWhileTheOptionStaysAsChosen)
{
    QSignalSpy optionChanges(memo.get(), &THtmlMemo::wordWrapChanged);
    ASSERT_FALSE(memo->WordWrap());
    memo->setPlainText(QStringLiteral("<P>krótka\n"));
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);

    memo->setSelStart(3);
    memo->setSelText(QString(THtmlMemo::WrappedLineLength, u'ż')); // a minified page pasted in
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(memo->WordWrap()) << "the option is the user's";
    memo->setWordWrap(true);
    memo->setWordWrap(false);
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth) << "still a long line";

    memo->setSelStart(3);
    memo->setSelLength(THtmlMemo::WrappedLineLength);
    memo->setSelText(QString());
    QDeadlineTimer deadline(5000);
    while (memo->wrapsForLongLine() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap) << "the long line is gone: as the option says";
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("<P>krótka\n"));
    EXPECT_EQ(optionChanges.size(), 2) << "only the two changes of the option itself";

    memo->setPlainText(QStringLiteral("a\n") + QString(THtmlMemo::WrappedLineLength + 1, u'x') + QStringLiteral("\nb"));
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth) << "a long line in an opened text";
}

// A long line keeps its shaped glyphs between layouts; after edits that
// re-colour the rest of the line it must look and place the caret exactly as
// the same text opened afresh.
TEST_F(MemoTest, AnEditedLongLineLooksAsTheSameTextOpenedAfresh)
{
    QString line;
    while (line.size() < THtmlMemo::WrappedLineLength + 5000)
        line += QStringLiteral("<B>Zażółć</B> gęślą <A HREF=\"a.html\">jaźń</A> ");
    memo->setPlainText(line);
    memo->show();
    const int middle = int(line.size() / 2);
    memo->setSelStart(middle);
    QTest::keyClicks(memo->viewport(), QStringLiteral("<!-- "));
    QTest::sendKeyEvent(QTest::Click, memo->viewport(), Qt::Key_A, QStringLiteral("ą"), Qt::NoModifier);
    memo->setSelStart(middle + 3);
    QTest::keyClick(memo->viewport(), Qt::Key_Delete); // "<!-" no longer opens a comment
    QTest::keyClicks(memo->viewport(), QStringLiteral("<I>"));
    ASSERT_EQ(memo->toPlainText().mid(middle, 8), QStringLiteral("<!-<I> ą"));

    THtmlMemo fresh;
    fresh.resize(memo->size());
    fresh.setPlainText(memo->toPlainText());
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    for (const int at : {0, middle - 1, middle + 4, int(fresh.toPlainText().size())}) {
        memo->setSelStart(at);
        fresh.setSelStart(at);
        fresh.verticalScrollBar()->setValue(memo->verticalScrollBar()->value());
        QCoreApplication::processEvents();
        EXPECT_EQ(memo->cursorRect(), fresh.cursorRect()) << "caret at " << at;
        EXPECT_EQ(memo->viewport()->grab().toImage(), fresh.viewport()->grab().toImage()) << "view at " << at;
    }
}

TEST_F(MemoTest, OptionsDialogOpensOnItsFirstOption)
{
    EditorOptionsDialog dialog(EditorSettings{}, nullptr, {});
    const QList<QCheckBox *> options = dialog.findChild<QWidget *>(QStringLiteral("pageOptions"))->findChildren<QCheckBox *>();
    ASSERT_FALSE(options.isEmpty());
    EXPECT_EQ(zk::testing::tabWalk(&dialog, 1), (QStringList{options[0]->objectName(), options[1]->objectName()}));
}

TEST_F(MemoTest, OptionsDialogChangesAreStoredUnderKolorowanieAndReadBack)
{
    const QString key = QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light\\Kolorowanie");
    memo->useRegistry(registry.get(), key);
    memo->show();
    memo->setFocus();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<EditorOptionsDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Editor options"));
        dialog->findChild<QListWidget *>(QStringLiteral("Classes"))->setCurrentRow(int(HtmlClass::TagName));
        dialog->findChild<QCheckBox *>(QStringLiteral("Underline"))->setChecked(true);
        dialog->findChild<ColorPickerButton *>(QStringLiteral("Foreground"))->setColor(QColor(0x12, 0x34, 0x56));
        dialog->findChild<QCheckBox *>(QStringLiteral("Auto-indent"))->setChecked(false);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::keyClick(memo.get(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(seen);
    EXPECT_FALSE(memo->hasOption(EditorOption::optAutoIndent));
    const auto text = registry->readString(Hive::CurrentUser, key, QStringLiteral("Highlighting - HTML"));
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains(QStringLiteral("Tag name=bu,#123456,"))) << text->toStdString();
    EXPECT_TRUE(registry->readBytes(Hive::CurrentUser, key, QStringLiteral("Key Assignments - HTML")).has_value());

    THtmlMemo restarted;
    restarted.useRegistry(registry.get(), key);
    restarted.loadSettings();
    EXPECT_EQ(restarted.scheme(), memo->scheme());
    EXPECT_EQ(restarted.scheme().style(HtmlClass::TagName).foreground, QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(restarted.optionsKey(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    memo->hide();
}

TEST_F(MemoTest, OptionsDialogCancelledOrUnchangedWritesNothing)
{
    const QString key = QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light\\Kolorowanie");
    memo->useRegistry(registry.get(), key);
    for (bool accept : {false, true}) {
        QTimer::singleShot(0, [accept] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            accept ? dialog->accept() : dialog->reject();
        });
        EXPECT_FALSE(memo->showOptionsDialog());
    }
    EXPECT_FALSE(registry->readString(Hive::CurrentUser, key, QStringLiteral("Highlighting - HTML")).has_value());
}

TEST_F(MemoTest, TheOptionsKeyIsOneFreeCombinationOrTheDefaultStays)
{
    QMenu menu;
    menu.addAction(QStringLiteral("&Pogrubienie"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    QMenu *sub = menu.addMenu(QStringLiteral("Więcej"));
    sub->addAction(QStringLiteral("&Przeglądanie"))->setShortcut(QKeySequence(Qt::Key_F11));
    memo->setPopupMenu(&menu);
    const std::pair<QKeySequence, const char *> refused[] = {
        {QKeySequence(QStringLiteral("Ctrl+K, Ctrl+L")), "jedną kombinację"}, {QKeySequence(Qt::Key_A), "bez Ctrl"},
        {QKeySequence(Qt::SHIFT | Qt::Key_A), "bez Ctrl"},      {QKeySequence(Qt::Key_F1), "bez Ctrl"},
        {QKeySequence(Qt::CTRL | Qt::Key_B), "\"Pogrubienie\""}, {QKeySequence(Qt::Key_F11), "\"Przeglądanie\""},
        {QKeySequence(Qt::CTRL | Qt::Key_C), "edycji tekstu"}};
    for (const auto &[key, why] : refused)
        EXPECT_TRUE(memo->optionsKeyProblem(key).contains(QString::fromUtf8(why)))
            << key.toString().toStdString() << ": " << memo->optionsKeyProblem(key).toStdString();
    for (const QKeySequence &key : {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), QKeySequence(Qt::ALT | Qt::Key_O),
                                    QKeySequence(Qt::Key_F5)})
        EXPECT_EQ(memo->optionsKeyProblem(key), QString()) << key.toString().toStdString();

    // The dialog refuses a taken key with a message and stays open.
    memo->show();
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<EditorOptionsDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *edit = dialog->findChild<QKeySequenceEdit *>(QStringLiteral("OptionsKey"));
        edit->setKeySequence(QKeySequence(Qt::CTRL | Qt::Key_B));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        EXPECT_TRUE(dialog->isVisible()) << "a refused key keeps the dialog open";
        edit->setKeySequence(QKeySequence(Qt::ALT | Qt::Key_O));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(memo->showOptionsDialog());
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].text.contains(QStringLiteral("\"Pogrubienie\""))) << prompts.messages()[0].text.toStdString();
    EXPECT_EQ(memo->optionsKey(), QKeySequence(Qt::ALT | Qt::Key_O));
    memo->hide();

    // The same refusal through the real message box: Enter closes the box only.
    QtPrompts real;
    Prompts *saved = services().prompts;
    services().prompts = &real;
    int boxes = 0;
    bool clickPending = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            ++boxes;
            QTest::keyClick(box, Qt::Key_Return);
        } else if (auto *dialog = qobject_cast<EditorOptionsDialog *>(modal); dialog && !clickPending) {
            auto *edit = dialog->findChild<QKeySequenceEdit *>(QStringLiteral("OptionsKey"));
            edit->setKeySequence(boxes == 0 ? QKeySequence(Qt::CTRL | Qt::Key_B) : QKeySequence(Qt::ALT | Qt::Key_P));
            // Clicked later: the box it may open must not block this timer's own slot.
            clickPending = true;
            QTimer::singleShot(0, dialog, [dialog, &clickPending] {
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
                clickPending = false;
            });
        }
    });
    answer.start();
    memo->show();
    EXPECT_TRUE(memo->showOptionsDialog());
    answer.stop();
    services().prompts = saved;
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(memo->optionsKey(), QKeySequence(Qt::ALT | Qt::Key_P)) << "the dialog stayed open after the box";
    memo->hide();

    // A stored key that fails the rule is ignored at start-up.
    const QString key = QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light\\Kolorowanie");
    for (const char *stored : {"Ctrl+K, Ctrl+L", "A", "Ctrl+B"}) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << quint8(1) << QStringLiteral("EditorOptions") << QString::fromLatin1(stored);
        registry->writeBytes(Hive::CurrentUser, key, QStringLiteral("Key Assignments - HTML"), bytes);
        THtmlMemo restarted;
        restarted.useRegistry(registry.get(), key);
        restarted.loadSettings();
        restarted.setPopupMenu(&menu); // the form sets up the menu after reading the settings
        EXPECT_EQ(restarted.optionsKey(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)) << stored;
    }
}

TEST(HighlightScheme, SurvivesItsTextFormAndIgnoresDamage)
{
    HighlightScheme s = HighlightScheme::defaults();
    s.style(HtmlClass::VbString).background = QColor(0xFF, 0xFF, 0xE0);
    s.style(HtmlClass::Comment).bold = true;
    EXPECT_EQ(HighlightScheme::fromText(s.toText()), s);
    const HighlightScheme damaged = HighlightScheme::fromText(QStringLiteral("Comment=b,#zzzzzz,;Nonsense=b,#000000,;String=i"));
    EXPECT_EQ(damaged, HighlightScheme::defaults());
}

} // namespace
