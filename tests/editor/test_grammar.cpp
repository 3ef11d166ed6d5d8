#include "HtmlGrammar.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zk;

// Each page in tests/editor/input/ is coloured line by line and compared with
// its dump in tests/editor/reference/ ("<Class>text</Class>" per run, Default
// runs bare). After a deliberate change of the grammar, rewrite the dumps with
//     ZK_REWRITE_REFERENCES=1 build/bin/test_grammar
// and review the change as `git diff tests/editor/reference`.

namespace {

const QString InputFolder = QStringLiteral(ZK_SOURCE_DIR "/tests/editor/input/");
const QString ReferenceFolder = QStringLiteral(ZK_SOURCE_DIR "/tests/editor/reference/");

struct ColourRun {
    int start, length;
    HtmlClass cls;
};

// The runs of each line, checked to cover the line in order, without gaps.
QList<QList<ColourRun>> runsOf(const QStringList &lines, int state = HtmlGrammar::InitialState)
{
    static const HtmlGrammar grammar;
    QList<QList<ColourRun>> out;
    for (const QString &line : lines) {
        QList<ColourRun> runs;
        int covered = 0;
        state = grammar.highlightLine(line, state, [&](int start, int length, HtmlClass c) {
            EXPECT_EQ(start, covered) << "runs are reported in order, without gaps: " << line.toStdString();
            covered = start + length;
            runs.append({start, length, c});
        });
        EXPECT_EQ(covered, line.size()) << "every character is coloured: " << line.toStdString();
        out << runs;
    }
    return out;
}

QString dumpLine(const QString &line, const QList<ColourRun> &runs)
{
    QString d;
    for (const ColourRun &r : runs) {
        const QString text = line.mid(r.start, r.length);
        const QString name = htmlClassName(r.cls);
        d += r.cls == HtmlClass::Default ? text : u'<' + name + u'>' + text + QStringLiteral("</") + name + u'>';
    }
    return d;
}

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing %1>").arg(path)};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray dumpOf(const QStringList &lines)
{
    const QList<QList<ColourRun>> runs = runsOf(lines);
    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i)
        out += dumpLine(lines[i], runs[i]) + u'\n';
    return out.toUtf8();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// `diff -u` of the reference against what the grammar made, for the failure message.
QString unifiedDiff(const QString &reference, const QByteArray &actual)
{
    QTemporaryDir dir;
    QFile made(dir.filePath(QStringLiteral("now")));
    if (!made.open(QIODevice::WriteOnly) || made.write(actual) != actual.size())
        return QStringLiteral("(could not write the new dump)");
    made.close();
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-u"), reference, made.fileName()});
    diff.waitForFinished(10000);
    return QString::fromUtf8(diff.readAllStandardOutput());
}

QStringList inputPages()
{
    return QDir(InputFolder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

class GrammarReference : public ::testing::TestWithParam<QString> {};

TEST_P(GrammarReference, EachPageIsColouredAsItsReferenceSays)
{
    const QString reference = ReferenceFolder + GetParam() + QStringLiteral(".ref");
    const QByteArray now = dumpOf(linesOf(InputFolder + GetParam()));
    if (qEnvironmentVariableIsSet("ZK_REWRITE_REFERENCES")) {
        QFile f(reference);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(now) == now.size()) << reference.toStdString();
        return;
    }
    ASSERT_TRUE(QFile::exists(reference)) << "no reference for " << GetParam().toStdString()
                                          << " (ZK_REWRITE_REFERENCES=1 writes it)";
    EXPECT_TRUE(readAll(reference) == now) << unifiedDiff(reference, now).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Pages, GrammarReference, ::testing::ValuesIn(inputPages().toVector()),
                         [](const ::testing::TestParamInfo<QString> &info) {
                             QString name = info.param;
                             name.chop(5); // ".html"
                             return name.replace(u'-', u'_').toStdString();
                         });

TEST(GrammarReference, EveryReferenceHasItsPage)
{
    const QStringList pages = inputPages();
    EXPECT_GE(pages.size(), 5);
    for (const QString &ref : QDir(ReferenceFolder).entryList({QStringLiteral("*.ref")}, QDir::Files))
        EXPECT_TRUE(pages.contains(ref.chopped(4))) << "a reference whose page is gone: " << ref.toStdString();
}

// A word in the middle of `line` (at `at`), the class its runs give it;
// Default when its runs disagree or run on into other letters or digits.
HtmlClass classOfWord(const QString &line, qsizetype at, qsizetype size, int state, bool prefix = false)
{
    const QList<ColourRun> runs = runsOf({line}, state).first();
    std::optional<HtmlClass> found;
    for (const ColourRun &r : runs) {
        if (r.start + r.length <= at || r.start >= at + size)
            continue;
        const bool alone = [&] {
            for (qsizetype i = r.start; i < r.start + r.length; ++i)
                if ((i < at || (i >= at + size && !prefix)) && line[i].isLetterOrNumber())
                    return false;
            return true;
        }();
        if ((found && *found != r.cls) || !alone)
            return HtmlClass::Default;
        found = r.cls;
    }
    return found.value_or(HtmlClass::Default);
}

int stateAfter(const QString &line)
{
    return HtmlGrammar().highlightLine(line, HtmlGrammar::InitialState, [](int, int, HtmlClass) {});
}

// Each word of a table, put where it belongs, is coloured alone in that
// table's class: a word no context reaches is a rule that cannot fire.
TEST(HtmlGrammar, EveryWordOfEveryTableIsColouredInItsOwnClass)
{
    const HtmlWordTables &t = htmlWordTables();
    const int js = stateAfter(QStringLiteral("<script>"));
    const int vb = stateAfter(QStringLiteral("<script language=vbscript>"));
    struct Table {
        const char *name;
        const QStringList &words;
        HtmlClass cls;
        QString before, after;
        int state = HtmlGrammar::InitialState;
        bool prefix = false; // the word begins a longer run (an address)
    };
    const Table tables[] = {
        {"tag names", t.tagNames, HtmlClass::TagName, QStringLiteral("a <"), QStringLiteral(">")},
        {"field names", t.fieldNames, HtmlClass::FieldName, QStringLiteral("<p "), QStringLiteral("=1>")},
        {"special chars", t.specialChars, HtmlClass::SpecialChar, QStringLiteral("a "), QStringLiteral(" b")},
        {"web addresses", t.webUrls, HtmlClass::WebUrl, QStringLiteral("a "), QStringLiteral("x.pl b"), 0, true},
        {"JS keywords", t.jsKeywords, HtmlClass::JsKeyword, QStringLiteral("a "), QStringLiteral(" b"), js},
        {"JS methods", t.jsMethods, HtmlClass::JsMethod, QStringLiteral("a "), QStringLiteral(" b"), js},
        {"JS symbols", t.symbols, HtmlClass::JsSymbol, QStringLiteral("a "), QStringLiteral(" b"), js},
        {"VB symbols", t.symbols, HtmlClass::VbSymbol, QStringLiteral("a "), QStringLiteral(" b"), vb},
        {"VB functions", t.vbFunctions, HtmlClass::VbFunction, QStringLiteral("a "), QStringLiteral(" b"), vb},
        {"VB methods", t.vbMethods, HtmlClass::VbMethod, QStringLiteral("a "), QStringLiteral(" b"), vb},
        {"VB keywords", t.vbKeywords, HtmlClass::VbKeyword, QStringLiteral("a "), QStringLiteral(" b"), vb},
    };
    for (const Table &table : tables) {
        SCOPED_TRACE(table.name);
        EXPECT_FALSE(table.words.isEmpty());
        QSet<QString> seen;
        for (const QString &word : table.words) {
            EXPECT_FALSE(seen.contains(word.toLower())) << "twice: " << word.toStdString();
            seen.insert(word.toLower());
            const QString line = table.before + word + table.after;
            EXPECT_EQ(int(classOfWord(line, table.before.size(), word.size(), table.state, table.prefix)), int(table.cls))
                << line.toStdString();
        }
    }
}

TEST(HtmlGrammar, EveryClassHasANameAndIsReachable)
{
    EXPECT_EQ(htmlClassName(HtmlClass::JsIdentifier), QStringLiteral("JS Indentifier")); // the options dialog's spelling
    QSet<QString> names;
    for (int c = 0; c < HtmlClassCount; ++c)
        names.insert(htmlClassName(HtmlClass(c)));
    EXPECT_EQ(names.size(), HtmlClassCount) << "two classes share a name";

    QSet<int> seen;
    for (const QString &page : inputPages())
        for (const QList<ColourRun> &line : runsOf(linesOf(InputFolder + page)))
            for (const ColourRun &r : line)
                seen.insert(int(r.cls));
    for (int c = 0; c < HtmlClassCount; ++c)
        EXPECT_TRUE(seen.contains(c)) << "no page reaches " << htmlClassName(HtmlClass(c)).toStdString();
}

} // namespace
