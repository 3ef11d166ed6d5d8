#include "EditorOptionsDialog.h"

#include "DialogKeys.h"

#include "HtmlHighlighter.h"
#include "THtmlMemo.h"

#include "ColorPickerButton.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeySequenceEdit>

#include "Messages.h"
#include "Prompts.h"
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zk {

namespace {

struct OptionRow {
    EditorOption option;
    const char *caption;
    const char *group;
};

// Options the dialog shows, with their captions and groups: only those the
// editor acts on (a box that changes nothing would only mislead).
const OptionRow OptionRows[] = {
    {EditorOption::optAutoIndent, "Auto-indent", "General options"},
    {EditorOption::optWordSelect, "Word select", "General options"},
    {EditorOption::optSyntaxHighlight, "Syntax highlighting", "General options"},
    {EditorOption::optShowWrapGlyph, "Mark wrapped lines", "General options"},
    {EditorOption::optUseTAB, "Use TAB character", "General options"},
    {EditorOption::optWordWrap, "Word wrap", "General options"},
    {EditorOption::optPrintWrap, "Wrap long lines", "Print options"},
    {EditorOption::optPrintLineNos, "Line numbers", "Print options"},
    {EditorOption::optPrintFilename, "Title in header", "Print options"},
    {EditorOption::optPrintDate, "Date in header", "Print options"},
    {EditorOption::optPrintPageNos, "Page numbers", "Print options"},
    {EditorOption::optShowRMargin, "Visible Right margin", "Margins"},
    {EditorOption::optShowGutter, "Visible Gutter", "Margins"},
};

const char *const PreviewText =
    "<!-- Przykład -->\n<P ALIGN=CENTER>Zażółć &nbsp; <A HREF=\"http://www.example.pl/\">odnośnik</A></P>\n"
    "<IMG SRC=\"logo.gif\" WIDTH=120>\n<SCRIPT LANGUAGE=\"JavaScript\">\n// komentarz\nif (x >= 10) alert(\"tekst\");\n"
    "</SCRIPT>\n<SCRIPT LANGUAGE=\"VBScript\">\n' komentarz\nDim s: s = UCase(\"tekst\") + 1\n</SCRIPT>";

} // namespace

QString EditorOptionsDialog::optionCaption(int option)
{
    for (const OptionRow &row : OptionRows)
        if (int(row.option) == option)
            return QString::fromLatin1(row.caption);
    return {};
}

EditorOptionsDialog::EditorOptionsDialog(const EditorSettings &settings, QWidget *parent, KeyCheck keyProblem)
    : QDialog(parent), m_settings(settings), m_keyProblem(std::move(keyProblem))
{
    setObjectName(QStringLiteral("EditorOptions"));
    setWindowTitle(QStringLiteral("Editor options"));
    auto *layout = new QVBoxLayout(this);
    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("OptionsPages"));
    pages->addTab(buildOptionsPage(), QStringLiteral("Options"));
    pages->addTab(buildHighlightingPage(), QStringLiteral("Highlighting"));
    pages->addTab(buildKeysPage(), QStringLiteral("Keys"));
    layout->addWidget(pages);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    showClass(0);
    if (!m_optionBoxes.isEmpty())
        m_optionBoxes.first()->setFocus(); // the first option, not the page tabs
    centerOnScreen(this);
}

QWidget *EditorOptionsDialog::buildOptionsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageOptions"));
    auto *grid = new QGridLayout(page);
    QMap<QString, QGroupBox *> groups;
    int column = 0;
    for (const OptionRow &row : OptionRows) {
        const QString group = QString::fromLatin1(row.group);
        if (!groups.contains(group)) {
            auto *box = new QGroupBox(group, page);
            box->setLayout(new QVBoxLayout);
            grid->addWidget(box, column == 0 ? 0 : column - 1, column == 0 ? 0 : 1, column == 0 ? 2 : 1, 1);
            groups.insert(group, box);
            ++column;
        }
        auto *check = new QCheckBox(QString::fromLatin1(row.caption), groups[group]);
        check->setObjectName(QString::fromLatin1(row.caption));
        check->setChecked(m_settings.options & bit(row.option));
        check->setProperty("option", int(row.option));
        groups[group]->layout()->addWidget(check);
        m_optionBoxes << check;
    }
    return page;
}

QWidget *EditorOptionsDialog::buildHighlightingPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageHighlighting"));
    auto *grid = new QGridLayout(page);
    m_classes = new QListWidget(page);
    m_classes->setObjectName(QStringLiteral("Classes"));
    for (int i = 0; i < HtmlClassCount; ++i)
        m_classes->addItem(htmlClassName(HtmlClass(i)));
    m_bold = new QCheckBox(QStringLiteral("Bold"), page);
    m_italic = new QCheckBox(QStringLiteral("Italic"), page);
    m_underline = new QCheckBox(QStringLiteral("Underline"), page);
    m_ownBackground = new QCheckBox(QStringLiteral("Own background"), page);
    m_foreground = new ColorPickerButton(page);
    m_foreground->setText(QStringLiteral("Text"));
    m_foreground->setOtherCaption(QStringLiteral("&Other"));
    m_background = new ColorPickerButton(page);
    m_background->setText(QStringLiteral("Background"));
    m_background->setOtherCaption(QStringLiteral("&Other"));
    for (auto [w, name] : {std::pair<QWidget *, const char *>{m_bold, "Bold"}, {m_italic, "Italic"}, {m_underline, "Underline"},
                           {m_ownBackground, "OwnBackground"}, {m_foreground, "Foreground"}, {m_background, "Background"}})
        w->setObjectName(QString::fromLatin1(name));
    m_preview = new QPlainTextEdit(QString::fromUtf8(PreviewText), page);
    m_preview->setObjectName(QStringLiteral("Preview"));
    m_preview->setReadOnly(true);
    m_preview->setFont(editorFont());
    m_preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_previewHighlighter = new HtmlHighlighter(m_preview->document());
    m_previewHighlighter->setScheme(m_settings.scheme);

    auto *style = new QVBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(m_bold), static_cast<QWidget *>(m_italic),
                       static_cast<QWidget *>(m_underline), static_cast<QWidget *>(m_foreground),
                       static_cast<QWidget *>(m_ownBackground), static_cast<QWidget *>(m_background)})
        style->addWidget(w);
    style->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("Element:"), page), 0, 0);
    grid->addWidget(m_classes, 1, 0);
    grid->addLayout(style, 1, 1);
    grid->addWidget(m_preview, 2, 0, 1, 2);
    connect(m_classes, &QListWidget::currentRowChanged, this, &EditorOptionsDialog::showClass);
    for (QCheckBox *b : {m_bold, m_italic, m_underline, m_ownBackground})
        connect(b, &QCheckBox::toggled, this, &EditorOptionsDialog::storeClass);
    connect(m_foreground, &ColorPickerButton::colorChanged, this, &EditorOptionsDialog::storeClass);
    connect(m_background, &ColorPickerButton::colorChanged, this, &EditorOptionsDialog::storeClass);
    return page;
}

QWidget *EditorOptionsDialog::buildKeysPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageKeys"));
    auto *grid = new QGridLayout(page);
    m_key = new QKeySequenceEdit(m_settings.optionsKey, page);
    m_key->setObjectName(QStringLiteral("OptionsKey"));
    grid->addWidget(new QLabel(QStringLiteral("Editor options:"), page), 0, 0);
    grid->addWidget(m_key, 0, 1);
    grid->setRowStretch(1, 1);
    return page;
}

void EditorOptionsDialog::showClass(int index)
{
    if (index < 0)
        return;
    m_loading = true;
    m_classes->setCurrentRow(index);
    const ClassStyle &s = m_settings.scheme.style(HtmlClass(index));
    m_bold->setChecked(s.bold);
    m_italic->setChecked(s.italic);
    m_underline->setChecked(s.underline);
    m_foreground->setColor(s.foreground.isValid() ? s.foreground : QColor(Qt::black));
    m_ownBackground->setChecked(s.background.isValid());
    m_background->setColor(s.background.isValid() ? s.background : QColor(Qt::white));
    m_background->setEnabled(s.background.isValid());
    m_loading = false;
}

void EditorOptionsDialog::storeClass()
{
    if (m_loading || m_classes->currentRow() < 0)
        return;
    ClassStyle &s = m_settings.scheme.style(HtmlClass(m_classes->currentRow()));
    s.bold = m_bold->isChecked();
    s.italic = m_italic->isChecked();
    s.underline = m_underline->isChecked();
    s.foreground = m_foreground->color();
    s.background = m_ownBackground->isChecked() ? m_background->color() : QColor();
    m_background->setEnabled(m_ownBackground->isChecked());
    m_previewHighlighter->setScheme(m_settings.scheme);
}

void EditorOptionsDialog::accept()
{
    const QKeySequence key = m_key->keySequence();
    const QString problem = m_keyProblem && !key.isEmpty() ? m_keyProblem(key) : QString();
    if (!problem.isEmpty()) {
        BladMsg(MB_ICONERROR, ErrorCaption, problem, this);
        m_key->setFocus();
        return;
    }
    QDialog::accept();
}

EditorSettings EditorOptionsDialog::settings() const
{
    EditorSettings out = m_settings;
    for (const QCheckBox *box : m_optionBoxes) {
        const EditorOptions b = bit(EditorOption(box->property("option").toInt()));
        out.options = box->isChecked() ? (out.options | b) : (out.options & ~b);
    }
    if (!m_key->keySequence().isEmpty())
        out.optionsKey = m_key->keySequence();
    return out;
}

} // namespace zk
