#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace zk {

// The element classes of the HTML grammar, in the order the options
// dialog lists them.
enum class HtmlClass : int {
    Comment,
    String,
    TagName,
    FieldName,
    SpecialChar,
    Number,
    WebUrl,
    JsComment,
    JsKeyword,
    JsMethod,
    JsSymbol,
    JsString,
    JsIdentifier,
    JsNumber,
    VbComment,
    VbKeyword,
    VbMethod,
    VbFunction,
    VbSymbol,
    VbString,
    VbIdentifier,
    VbNumber,
    Default,
};
inline constexpr int HtmlClassCount = 23;

// "Comment", "String", "Tag name", ... as the options dialog shows them.
QString htmlClassName(HtmlClass c);

// The word tables of the grammar, in one place.
struct HtmlWordTables {
    QStringList tagNames, fieldNames, specialChars, webUrls;
    QStringList jsKeywords, jsMethods, symbols;
    QStringList vbFunctions, vbMethods, vbKeywords;
};
const HtmlWordTables &htmlWordTables();

// Colours HTML (with JavaScript and VBScript script blocks) one line at a
// time: given the state the previous line ended in, it reports every run
// of the line with its class and returns the state this line ends in.
// Knows nothing of widgets.
class HtmlGrammar {
public:
    using Apply = std::function<void(int start, int length, HtmlClass cls)>;
    static constexpr int InitialState = 0;

    HtmlGrammar();
    ~HtmlGrammar();
    HtmlGrammar(const HtmlGrammar &) = delete;
    HtmlGrammar &operator=(const HtmlGrammar &) = delete;

    QString name() const { return QStringLiteral("HTML"); }
    int highlightLine(QStringView line, int previousState, const Apply &apply) const;

    struct Tables; // the word tables as hash sets

private:
    Tables *m_tables;
};

} // namespace zk
