#include "HtmlGrammar.h"
#include "QtPrinters.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace zk;

namespace {

// Each line as its runs, "<Class>text</Class>", Default runs bare.
QStringList dump(const QStringList &lines, int state = HtmlGrammar::InitialState)
{
    static const HtmlGrammar grammar;
    QStringList out;
    for (const QString &line : lines) {
        QString d;
        qsizetype covered = 0;
        state = grammar.highlightLine(line, state, [&](int start, int length, HtmlClass c) {
            EXPECT_EQ(start, covered) << "runs are reported in order, without gaps: " << line.toStdString();
            covered = start + length;
            const QString text = line.mid(start, length);
            d += c == HtmlClass::Default ? text : u'<' + htmlClassName(c) + u'>' + text + QStringLiteral("</") + htmlClassName(c) + u'>';
        });
        EXPECT_EQ(covered, line.size()) << "every character is coloured: " << line.toStdString();
        out << d;
    }
    return out;
}

TEST(HtmlGrammar, TagsAttributesValuesAndEntities)
{
    EXPECT_EQ(dump({QStringLiteral("<P ALIGN=center>Zażółć&nbsp;&copy; &bogus; <span class=\"x\"></P>")}),
              QStringList{QStringLiteral(
                  "<Tag name><P</Tag name> <Field name>ALIGN</Field name>=center<Tag name>></Tag name>Zażółć"
                  "<Special char>&nbsp;&copy;</Special char> &bogus; "
                  "<Tag name><</Tag name>span class=<String>\"x\"</String><Tag name>></P></Tag name>")});
    EXPECT_EQ(dump({QStringLiteral("<IMG SRC=\"a.gif\" WIDTH=120 HEIGHT=80>")}),
              QStringList{QStringLiteral("<Tag name><IMG</Tag name> SRC=<String>\"a.gif\"</String> <Field name>WIDTH</Field name>="
                                         "<Number>120</Number> <Field name>HEIGHT</Field name>=<Number>80</Number><Tag name>></Tag name>")});
}

TEST(HtmlGrammar, WordsAreMatchedWhole)
{
    // "bold" is a JS method, "boldly" is not; "b" is a tag, "blah" is not.
    EXPECT_EQ(dump({QStringLiteral("<script>boldly bold</script>")}),
              QStringList{QStringLiteral("<Tag name><</Tag name>script<Tag name>></Tag name>"
                                         "<JS Indentifier>boldly</JS Indentifier> <JS Method>bold</JS Method>"
                                         "<Tag name></</Tag name>script<Tag name>></Tag name>")});
    EXPECT_EQ(dump({QStringLiteral("<blah><b>")}),
              QStringList{QStringLiteral("<Tag name><</Tag name>blah<Tag name>><b></Tag name>")});
}

TEST(HtmlGrammar, UrlsInTextAndInValues)
{
    EXPECT_EQ(dump({QStringLiteral("Zobacz http://www.onet.pl/ i <A HREF=\"mailto:jan@x.pl\">")}),
              QStringList{QStringLiteral("Zobacz <Web URLs>http://www.onet.pl/</Web URLs> i <Tag name><</Tag name>A "
                                         "<Field name>HREF</Field name>=<String>\"</String><Web URLs>mailto:jan@x.pl</Web URLs>"
                                         "<String>\"</String><Tag name>></Tag name>")});
}

TEST(HtmlGrammar, CommentsAndValuesCarryTheirStateAcrossLines)
{
    EXPECT_EQ(dump({QStringLiteral("a <!-- start"), QStringLiteral("<B>still</B>"), QStringLiteral("end --> <B>")}),
              (QStringList{QStringLiteral("a <Comment><!-- start</Comment>"), QStringLiteral("<Comment><B>still</B></Comment>"),
                           QStringLiteral("<Comment>end --></Comment> <Tag name><B></Tag name>")}));
    EXPECT_EQ(dump({QStringLiteral("<A HREF=\"a"), QStringLiteral("b\" TARGET=x>")}),
              (QStringList{QStringLiteral("<Tag name><</Tag name>A <Field name>HREF</Field name>=<String>\"a</String>"),
                           QStringLiteral("<String>b\"</String> <Field name>TARGET</Field name>=x<Tag name>></Tag name>")}));
}

TEST(HtmlGrammar, JavaScriptBlocks)
{
    const QStringList lines = {QStringLiteral("<SCRIPT LANGUAGE=\"JavaScript\">"),
                               QStringLiteral("// powitanie"),
                               QStringLiteral("if (x >= 0x1F) alert('hi' + 2.5); /* a"),
                               QStringLiteral("b */ var y;"),
                               QStringLiteral("</SCRIPT> if")};
    EXPECT_EQ(dump(lines),
              (QStringList{
                  QStringLiteral("<Tag name><</Tag name>SCRIPT LANGUAGE=<String>\"JavaScript\"</String><Tag name>></Tag name>"),
                  QStringLiteral("<JS Comment>// powitanie</JS Comment>"),
                  QStringLiteral("<JS Keyword>if</JS Keyword> <JS Symbol>(</JS Symbol><JS Indentifier>x</JS Indentifier> "
                                 "<JS Symbol>>=</JS Symbol> <JS Number>0x1F</JS Number><JS Symbol>)</JS Symbol> "
                                 "<JS Method>alert</JS Method><JS Symbol>(</JS Symbol><JS String>'hi'</JS String> "
                                 "<JS Symbol>+</JS Symbol> <JS Number>2.5</JS Number><JS Symbol>)</JS Symbol>; "
                                 "<JS Comment>/* a</JS Comment>"),
                  QStringLiteral("<JS Comment>b */</JS Comment> <JS Keyword>var</JS Keyword> <JS Indentifier>y</JS Indentifier>;"),
                  QStringLiteral("<Tag name></</Tag name>SCRIPT<Tag name>></Tag name> if")}));
}

TEST(HtmlGrammar, VbScriptBlocksWithEachLanguageSpelling)
{
    for (const QString &open : {QStringLiteral("<script language=vbscript>"), QStringLiteral("<script language=\"VBScript\">")}) {
        const QStringList d = dump({open, QStringLiteral("Dim s: s = UCase(\"a\"\"b\") ' uwaga"), QStringLiteral("REM koniec"),
                                    QStringLiteral("Call fso.CopyFile(x, 10)"), QStringLiteral("</script>")});
        EXPECT_EQ(d[1], QStringLiteral("<VB Keyword>Dim</VB Keyword> <VB Indentifier>s</VB Indentifier>: "
                                       "<VB Indentifier>s</VB Indentifier> <VB Symbol>=</VB Symbol> <VB Function>UCase</VB Function>"
                                       "<VB Symbol>(</VB Symbol><VB String>\"a\"\"b\"</VB String><VB Symbol>)</VB Symbol> "
                                       "<VB Comment>' uwaga</VB Comment>"))
            << open.toStdString();
        EXPECT_EQ(d[2], QStringLiteral("<VB Comment>REM koniec</VB Comment>"));
        EXPECT_EQ(d[3], QStringLiteral("<VB Keyword>Call</VB Keyword> <VB Indentifier>fso</VB Indentifier><VB Symbol>.</VB Symbol>"
                                       "<VB Method>CopyFile</VB Method><VB Symbol>(</VB Symbol><VB Indentifier>x</VB Indentifier>"
                                       "<VB Symbol>,</VB Symbol> <VB Number>10</VB Number><VB Symbol>)</VB Symbol>"));
    }
    for (const QString &open : {QStringLiteral("<script language=javascript1.1>"), QStringLiteral("<script language=\"javascript\">"),
                                QStringLiteral("<script>")})
        EXPECT_EQ(dump({open, QStringLiteral("Dim")})[1], QStringLiteral("<JS Indentifier>Dim</JS Indentifier>")) << open.toStdString();
    EXPECT_EQ(dump({QStringLiteral("<script language=vbscript>"), QStringLiteral("remark = 1")})[1],
              QStringLiteral("<VB Indentifier>remark</VB Indentifier> <VB Symbol>=</VB Symbol> <VB Number>1</VB Number>"))
        << "rem is a comment only as a whole word";
}

TEST(HtmlGrammar, ScriptEndsAtItsClosingTagEvenInsideAComment)
{
    const QStringList d = dump({QStringLiteral("<script>/* x </script><B>")});
    EXPECT_EQ(d[0], QStringLiteral("<Tag name><</Tag name>script<Tag name>></Tag name><JS Comment>/* x </JS Comment>"
                                   "<Tag name></</Tag name>script<Tag name>><B></Tag name>"));
}

TEST(HtmlGrammar, TablesAreCompleteAndEveryClassIsReachable)
{
    const HtmlWordTables &t = htmlWordTables();
    EXPECT_EQ(t.tagNames.size(), 72);
    EXPECT_EQ(t.fieldNames.size(), 15);
    EXPECT_EQ(t.specialChars.size(), 38);
    EXPECT_EQ(t.webUrls.size(), 10);
    EXPECT_EQ(t.jsKeywords.size(), 53);
    EXPECT_EQ(t.jsMethods.size(), 80);
    EXPECT_EQ(t.symbols.size(), 42);
    EXPECT_EQ(t.vbFunctions.size(), 89);
    EXPECT_EQ(t.vbMethods.size(), 46);
    EXPECT_EQ(t.vbKeywords.size(), 37);
    EXPECT_EQ(htmlClassName(HtmlClass::JsIdentifier), QStringLiteral("JS Indentifier"));
    EXPECT_EQ(htmlClassName(HtmlClass::Default), QStringLiteral("Default"));

    QSet<int> seen;
    const HtmlGrammar grammar;
    int state = 0;
    for (const QString &line : {QStringLiteral("<!-- c --> \"s\" <B WIDTH=1 HREF=\"http://x\">&nbsp;"),
                                QStringLiteral("<script>// c"), QStringLiteral("if alert + 'x' y 1</script>"),
                                QStringLiteral("<script language=vbscript>' c"),
                                QStringLiteral("dim Abs Close + \"s\" y 2</script>")})
        state = grammar.highlightLine(line, state, [&](int, int, HtmlClass c) { seen.insert(int(c)); });
    EXPECT_EQ(seen.size(), HtmlClassCount) << "a class no text reaches is a rule that cannot fire";
}

} // namespace
