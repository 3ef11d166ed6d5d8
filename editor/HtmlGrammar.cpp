#include "HtmlGrammar.h"

#include <array>
#include <string_view>
#include <unordered_set>

namespace zk {

namespace {

const std::array<const char *, HtmlClassCount> ClassNames = {
    "Comment", "String", "Tag name", "Field name", "Special char", "Number", "Web URLs", "JS Comment",
    "JS Keyword", "JS Method", "JS Symbol", "JS String", "JS Indentifier", "JS Number", "VB Comment",
    "VB Keyword", "VB Method", "VB Function", "VB Symbol", "VB String", "VB Indentifier", "VB Number", "Default"};

QStringList words(const char *spaceSeparated)
{
    return QString::fromLatin1(spaceSeparated).split(u' ', Qt::SkipEmptyParts);
}

HtmlWordTables makeTables()
{
    HtmlWordTables t;
    t.tagNames = words(
        "address applet b basefont big blink blockquote body br caption center cite code dd dir div dl doctype dt em "
        "embed font form frame frameset h h1 h2 h3 h4 h5 h6 head hr html i img input isindex kbd li link mark marquee "
        "menu meta nextid nobr noframes ol option p pre samp select small sound strike strong sub sup table td "
        "textarea th title tr tt u ul var wbr");
    t.fieldNames = words("align alt codebase height href hspace methods name rel rev target urn value vspace width");
    t.specialChars = words(
        "&szlig; &aacute; &agrave; &acirc; &atilde; &aring; &auml; &aelig; &ccedil; &copy; &eacute; &egrave; &ecirc; "
        "&eth; &euml; &gt; &iacute; &igrave; &icirc; &iuml; &lt; &nbsp; &ntilde; &oacute; &ograve; &ocirc; &otilde; "
        "&ouml; &oslash; &reg; &thorn; &trade; &uacute; &ugrave; &ucirc; &uuml; &yacute; &yuml;");
    t.webUrls = words("http:// ftp:// mailto: news: telnet:// gopher:// nntp:// wais:// newsrc:// file://");
    t.jsKeywords = words(
        "abstract boolean break byte case catch char class const continue default do double else extends false final "
        "finally float for function goto if implements import in instanceof int interface long native new null "
        "package private protected public return short static super switch synchroniz this throw throws transient "
        "true try var void while with");
    t.jsMethods = words(
        "abs acos alert anchor asin atan back big blink blur bold ceil charAt clear clearTimeout click close confirm "
        "cos escape eval exp fixed floor focus fontcolor fontsize forward getDate getDay getHours getMinutes getMonth "
        "getSeconds getTime getTimezoneOffset getYear go indexOf isNaN italics lastIndexOf link log max min open "
        "parse parseFloat parseInt pow prompt random round select setDate setHours setMinutes setMonth setSeconds "
        "setTimeout setTime setYear sin small sqrt strike sub submit substring sup tan toGMTString toLocaleString "
        "toLowerCase toUpperCase unescape UTC write writeln");
    t.symbols = words(", = += -= *= /= %= <<= >>= >>>= &= ^= |= ?: || && | ^ & == != < <= > >= << >> >>> + - * / % ! ~ "
                      "++ -- ( ) [ ] .");
    t.vbFunctions = words(
        "Abs Array Asc Atn CBool CByte CCur CDate CDbl Chr CInt CLng Cos CreateObject CSng CStr Date DateAddFunction "
        "DateDiff DatePart DateSerial DateValue Day Exp Filter Fix FormatCurrency FormatDateTime FormatNumber "
        "FormatPercent GetObject Hex Hour InputBox InStr InStrRev Int IsArray IsDate IsEmpty IsNull IsNumeric "
        "IsObject Join LBound LCase Left Len LoadPicture Log LTrim Mid Minute Month MonthName MsgBox Now Oct Replace "
        "RGB Right Rnd Round RTrim ScriptEngine ScriptEngineBuildVersion ScriptEngineMajorVersion "
        "ScriptEngineMinorVersion Second Sgn Sin Space Split Sqr StrComp StrReverse String Tan Time TimeSerial "
        "TimeValue Trim TypeName UBound UCase VarType Weekday WeekdayName Year");
    t.vbMethods = words(
        "Add AddFolders BuildPath Clear Close Copy CopyFile CopyFolder CreateFolder CreateTextFile Delete DeleteFile "
        "DeleteFolder DriveExists Exists FileExists FolderExists GetAbsolutePathName GetBaseName GetDrive "
        "GetDriveName GetExtensionName GetFile GetFileName GetFolder GetParentFolderName GetSpecialFolder "
        "GetTempName Items Keys Move MoveFile MoveFolder OpenAsTextStream OpenTextFile Raise Read ReadAll ReadLine "
        "Remove RemoveAll Skip SkipLine Write WriteBlankLines WriteLine");
    t.vbKeywords = words(
        "call case const dim do each else elseif end erase error exit explicit for function if in loop next nothing "
        "on option preserve private public randomize redim resume select set step sub then to until wend while");
    return t;
}

enum Region : int { Text = 0, InComment = 1, InTag = 2, InTagValue = 3, InScript = 4, InScriptComment = 5 };
constexpr int RegionMask = 0xF;
constexpr int ScriptTagFlag = 0x10;    // the open tag is <script ...>
constexpr int VbFlag = 0x20;           // the script's language is VBScript
constexpr int LanguageNextFlag = 0x40; // "language=" seen, its value comes next
constexpr int SingleQuoteFlag = 0x80;  // the attribute value is in single quotes

using WordSet = std::unordered_set<std::u16string_view>;

inline bool isLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0x80 && QChar(c).isLetter());
}
inline bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool isWordChar(char16_t c) { return isLetter(c) || isDigit(c) || c == u'_'; }
inline char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool startsWithIgnoringCase(QStringView text, qsizetype at, std::u16string_view what)
{
    if (at + qsizetype(what.size()) > text.size())
        return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (lowerAscii(text[at + i].unicode()) != what[i])
            return false;
    return true;
}

qsizetype indexOfIgnoringCase(QStringView text, qsizetype from, std::u16string_view what)
{
    for (qsizetype i = from; i + qsizetype(what.size()) <= text.size(); ++i)
        if (startsWithIgnoringCase(text, i, what))
            return i;
    return -1;
}

} // namespace

struct HtmlGrammar::Tables {
    QStringList storage; // keeps the views of the sets alive
    WordSet tagNames, fieldNames, specialChars, jsKeywords, jsMethods, vbFunctions, vbMethods, vbKeywords;
    std::vector<std::u16string_view> webUrls, symbols; // symbols longest first

    void fill(WordSet &set, const QStringList &list, bool lower)
    {
        for (const QString &w : list) {
            storage << (lower ? w.toLower() : w);
            set.insert(std::u16string_view(reinterpret_cast<const char16_t *>(storage.last().utf16()),
                                           size_t(storage.last().size())));
        }
    }
    std::u16string_view keep(const QString &w)
    {
        storage << w;
        return {reinterpret_cast<const char16_t *>(storage.last().utf16()), size_t(storage.last().size())};
    }
};

const HtmlWordTables &htmlWordTables()
{
    static const HtmlWordTables tables = makeTables();
    return tables;
}

QString htmlClassName(HtmlClass c)
{
    return QString::fromLatin1(ClassNames.at(static_cast<size_t>(c)));
}

HtmlGrammar::HtmlGrammar() : m_tables(new Tables)
{
    const HtmlWordTables &t = htmlWordTables();
    m_tables->storage.reserve(1024); // views point into it: it must not reallocate
    m_tables->fill(m_tables->tagNames, t.tagNames, true);
    m_tables->fill(m_tables->fieldNames, t.fieldNames, true);
    m_tables->fill(m_tables->specialChars, t.specialChars, false);
    m_tables->fill(m_tables->jsKeywords, t.jsKeywords, false);
    m_tables->fill(m_tables->jsMethods, t.jsMethods, false);
    m_tables->fill(m_tables->vbFunctions, t.vbFunctions, true);
    m_tables->fill(m_tables->vbMethods, t.vbMethods, true);
    m_tables->fill(m_tables->vbKeywords, t.vbKeywords, true);
    for (const QString &u : t.webUrls)
        m_tables->webUrls.push_back(m_tables->keep(u));
    QStringList symbols = t.symbols;
    std::stable_sort(symbols.begin(), symbols.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &s : symbols)
        m_tables->symbols.push_back(m_tables->keep(s));
}

HtmlGrammar::~HtmlGrammar()
{
    delete m_tables;
}

namespace {

// Walks one line, merging neighbouring runs of one class into one report.
class LineLexer {
public:
    LineLexer(QStringView line, int state, const HtmlGrammar::Apply &apply, const HtmlGrammar::Tables &t)
        : s(line), n(line.size()), state(state), apply(apply), t(t)
    {
    }

    int run();

private:
    void report(qsizetype start, qsizetype length, HtmlClass c)
    {
        if (length <= 0)
            return;
        if (pendingLength > 0 && pendingClass == c && pendingStart + pendingLength == start) {
            pendingLength += length;
            return;
        }
        flush();
        pendingStart = start;
        pendingLength = length;
        pendingClass = c;
    }
    void flush()
    {
        if (pendingLength > 0)
            apply(int(pendingStart), int(pendingLength), pendingClass);
        pendingLength = 0;
    }
    int region() const { return state & RegionMask; }
    void setRegion(int r) { state = (state & ~RegionMask) | r; }
    char16_t at(qsizetype i) const { return i < n ? s[i].unicode() : 0; }
    qsizetype wordEnd(qsizetype i) const
    {
        while (i < n && isWordChar(s[i].unicode()))
            ++i;
        return i;
    }
    bool inSet(const WordSet &set, qsizetype from, qsizetype to, bool lower) const
    {
        const qsizetype len = to - from;
        if (len <= 0 || len > 64)
            return false;
        char16_t buf[64];
        for (qsizetype i = 0; i < len; ++i)
            buf[i] = lower ? lowerAscii(s[from + i].unicode()) : s[from + i].unicode();
        return set.count(std::u16string_view(buf, size_t(len))) > 0;
    }
    qsizetype findClose(qsizetype from, std::u16string_view what) const { return indexOfIgnoringCase(s, from, what); }

    void text();
    void comment();
    void tag();
    void tagValue(qsizetype limit);
    void script();
    void scriptComment(qsizetype end);
    void jsToken(qsizetype end);
    void vbToken(qsizetype end);
    bool webUrl(qsizetype end);
    bool symbol(qsizetype end, HtmlClass c);
    void number(qsizetype end, HtmlClass c);
    void quoted(qsizetype end, HtmlClass c, char16_t quote, bool backslashEscapes);
    void openTag();
    void closeScript(qsizetype at);

    QStringView s;
    qsizetype n;
    qsizetype pos = 0;
    int state;
    const HtmlGrammar::Apply &apply;
    const HtmlGrammar::Tables &t;
    qsizetype pendingStart = 0, pendingLength = 0;
    HtmlClass pendingClass = HtmlClass::Default;
};

int LineLexer::run()
{
    while (pos < n) {
        switch (region()) {
        case InComment: comment(); break;
        case InTag: tag(); break;
        case InTagValue: tagValue(n); break;
        case InScript: script(); break;
        case InScriptComment: {
            const qsizetype close = findClose(pos, u"</script");
            scriptComment(close < 0 ? n : close);
            if (close >= 0 && pos == close)
                closeScript(close);
            break;
        }
        default: text(); break;
        }
    }
    flush();
    return state;
}

void LineLexer::comment()
{
    const qsizetype close = findClose(pos, u"-->");
    const qsizetype end = close < 0 ? n : close + 3;
    report(pos, end - pos, HtmlClass::Comment);
    pos = end;
    if (close >= 0)
        setRegion(Text);
}

bool LineLexer::webUrl(qsizetype end)
{
    const char16_t c = lowerAscii(at(pos));
    if (c != u'h' && c != u'f' && c != u'm' && c != u'n' && c != u't' && c != u'g' && c != u'w')
        return false;
    for (std::u16string_view prefix : t.webUrls) {
        if (!startsWithIgnoringCase(s, pos, prefix))
            continue;
        qsizetype e = pos + qsizetype(prefix.size());
        while (e < end) {
            const char16_t ch = s[e].unicode();
            if (ch == u' ' || ch == u'\t' || ch == u'"' || ch == u'\'' || ch == u'<' || ch == u'>')
                break;
            ++e;
        }
        report(pos, e - pos, HtmlClass::WebUrl);
        pos = e;
        return true;
    }
    return false;
}

void LineLexer::text()
{
    const char16_t c = s[pos].unicode();
    if (c == u'<') {
        if (startsWithIgnoringCase(s, pos, u"<!--")) {
            setRegion(InComment);
            report(pos, 4, HtmlClass::Comment);
            pos += 4;
            return;
        }
        const char16_t next = at(pos + 1);
        if (next == u'/' || next == u'!' || isLetter(next)) {
            openTag();
            return;
        }
    } else if (c == u'&') {
        qsizetype e = pos + 1;
        while (e < n && (isWordChar(s[e].unicode()) || s[e] == u'#'))
            ++e;
        if (e < n && s[e] == u';' && inSet(t.specialChars, pos, e + 1, false)) {
            report(pos, e + 1 - pos, HtmlClass::SpecialChar);
            pos = e + 1;
            return;
        }
    } else if (isLetter(c) && (pos == 0 || !isWordChar(s[pos - 1].unicode())) && webUrl(n)) {
        return;
    }
    // A plain run up to the next character that may start something.
    qsizetype e = pos + 1;
    while (e < n) {
        const char16_t ch = s[e].unicode();
        if (ch == u'<' || ch == u'&' || (isLetter(ch) && !isWordChar(s[e - 1].unicode())))
            break;
        ++e;
    }
    report(pos, e - pos, HtmlClass::Default);
    pos = e;
}

void LineLexer::openTag()
{
    const bool closing = at(pos + 1) == u'/';
    const qsizetype nameStart = pos + ((closing || at(pos + 1) == u'!') ? 2 : 1);
    report(pos, nameStart - pos, HtmlClass::TagName);
    const qsizetype nameEnd = wordEnd(nameStart);
    report(nameStart, nameEnd - nameStart, inSet(t.tagNames, nameStart, nameEnd, true) ? HtmlClass::TagName : HtmlClass::Default);
    const bool isScript = !closing && nameEnd - nameStart == 6 && startsWithIgnoringCase(s, nameStart, u"script");
    state = InTag | (isScript ? ScriptTagFlag : 0);
    pos = nameEnd;
}

void LineLexer::tag()
{
    const char16_t c = s[pos].unicode();
    if (c == u'>' || (c == u'/' && at(pos + 1) == u'>')) {
        const qsizetype len = c == u'>' ? 1 : 2;
        report(pos, len, HtmlClass::TagName);
        pos += len;
        const bool intoScript = (state & ScriptTagFlag) && c == u'>';
        state = intoScript ? (InScript | (state & VbFlag)) : Text;
        return;
    }
    if (c == u'"' || c == u'\'') {
        if (c == u'\'')
            state |= SingleQuoteFlag;
        setRegion(InTagValue);
        report(pos, 1, HtmlClass::String);
        ++pos;
        tagValue(n);
        return;
    }
    if (isDigit(c)) {
        number(n, HtmlClass::Number);
        return;
    }
    if (isLetter(c) || c == u'_') {
        qsizetype e = wordEnd(pos);
        if (state & LanguageNextFlag) { // a bare language value: javascript1.1
            while (e < n && (isWordChar(s[e].unicode()) || s[e] == u'.'))
                ++e;
            const bool vb = e - pos == 8 && startsWithIgnoringCase(s, pos, u"vbscript");
            state = (state & ~(LanguageNextFlag | VbFlag)) | (vb ? VbFlag : 0);
            report(pos, e - pos, HtmlClass::Default);
        } else {
            const bool isLanguage = (state & ScriptTagFlag) && e - pos == 8 && startsWithIgnoringCase(s, pos, u"language");
            if (isLanguage)
                state |= LanguageNextFlag;
            report(pos, e - pos, inSet(t.fieldNames, pos, e, true) ? HtmlClass::FieldName : HtmlClass::Default);
        }
        pos = e;
        return;
    }
    report(pos, 1, HtmlClass::Default);
    ++pos;
}

void LineLexer::tagValue(qsizetype limit)
{
    const char16_t quote = (state & SingleQuoteFlag) ? u'\'' : u'"';
    const qsizetype valueStart = pos;
    qsizetype e = pos;
    while (e < limit && s[e].unicode() != quote)
        ++e;
    if (state & LanguageNextFlag) {
        const bool vb = e - valueStart == 8 && startsWithIgnoringCase(s, valueStart, u"vbscript");
        state = (state & ~(LanguageNextFlag | VbFlag)) | (vb ? VbFlag : 0);
    }
    // Addresses inside the value keep their own colour.
    while (pos < e) {
        if (isLetter(s[pos].unicode()) && (pos == valueStart || !isWordChar(s[pos - 1].unicode())) && webUrl(e))
            continue;
        qsizetype r = pos + 1;
        while (r < e && !(isLetter(s[r].unicode()) && !isWordChar(s[r - 1].unicode())))
            ++r;
        report(pos, r - pos, HtmlClass::String);
        pos = r;
    }
    if (e < limit) {
        report(e, 1, HtmlClass::String);
        pos = e + 1;
        state = (state & ~(SingleQuoteFlag | RegionMask)) | InTag;
    } else {
        pos = limit;
    }
}

void LineLexer::closeScript(qsizetype at)
{
    report(at, 2, HtmlClass::TagName);
    report(at + 2, 6, inSet(t.tagNames, at + 2, at + 8, true) ? HtmlClass::TagName : HtmlClass::Default);
    pos = at + 8;
    state = InTag;
}

void LineLexer::script()
{
    const qsizetype close = findClose(pos, u"</script");
    const qsizetype end = close < 0 ? n : close;
    const bool vb = state & VbFlag;
    while (pos < end && region() == InScript) {
        if (vb)
            vbToken(end);
        else
            jsToken(end);
    }
    if (region() == InScriptComment && pos < end)
        scriptComment(end);
    if (close >= 0 && pos >= close)
        closeScript(close);
}

void LineLexer::scriptComment(qsizetype end)
{
    qsizetype close = -1;
    for (qsizetype i = pos; i + 1 < end; ++i)
        if (s[i] == u'*' && s[i + 1] == u'/') {
            close = i;
            break;
        }
    const qsizetype stop = close < 0 ? end : close + 2;
    report(pos, stop - pos, HtmlClass::JsComment);
    pos = stop;
    if (close >= 0)
        setRegion(InScript);
}

bool LineLexer::symbol(qsizetype end, HtmlClass c)
{
    for (std::u16string_view op : t.symbols) {
        if (pos + qsizetype(op.size()) > end)
            continue;
        bool match = true;
        for (size_t i = 0; i < op.size() && match; ++i)
            match = s[pos + i].unicode() == op[i];
        if (match) {
            report(pos, qsizetype(op.size()), c);
            pos += qsizetype(op.size());
            return true;
        }
    }
    return false;
}

void LineLexer::number(qsizetype end, HtmlClass c)
{
    qsizetype e = pos;
    if (s[e] == u'0' && (at(e + 1) == u'x' || at(e + 1) == u'X')) {
        e += 2;
        while (e < end && (isDigit(s[e].unicode()) || (lowerAscii(s[e].unicode()) >= u'a' && lowerAscii(s[e].unicode()) <= u'f')))
            ++e;
    } else {
        while (e < end && (isDigit(s[e].unicode()) || s[e] == u'.'))
            ++e;
        if (e < end && (s[e] == u'e' || s[e] == u'E') && isDigit(at(e + 1)))
            e = wordEnd(e + 1);
    }
    report(pos, e - pos, c);
    pos = e;
}

void LineLexer::quoted(qsizetype end, HtmlClass c, char16_t quote, bool backslashEscapes)
{
    qsizetype e = pos + 1;
    while (e < end) {
        if (backslashEscapes && s[e] == u'\\' && e + 1 < end) {
            e += 2;
            continue;
        }
        if (s[e].unicode() == quote) {
            if (!backslashEscapes && e + 1 < end && s[e + 1].unicode() == quote) { // "" inside a VB string
                e += 2;
                continue;
            }
            ++e;
            break;
        }
        ++e;
    }
    report(pos, std::min(e, end) - pos, c);
    pos = std::min(e, end);
}

void LineLexer::jsToken(qsizetype end)
{
    const char16_t c = s[pos].unicode();
    if (c == u'/' && at(pos + 1) == u'/' && pos + 1 < end) {
        report(pos, end - pos, HtmlClass::JsComment);
        pos = end;
    } else if (c == u'/' && at(pos + 1) == u'*' && pos + 1 < end) {
        report(pos, 2, HtmlClass::JsComment);
        pos += 2;
        setRegion(InScriptComment);
        scriptComment(end);
    } else if (startsWithIgnoringCase(s, pos, u"<!--") && pos + 4 <= end) {
        report(pos, 4, HtmlClass::JsComment);
        pos += 4;
    } else if (startsWithIgnoringCase(s, pos, u"-->") && pos + 3 <= end) {
        report(pos, 3, HtmlClass::JsComment);
        pos += 3;
    } else if (c == u'"' || c == u'\'') {
        quoted(end, HtmlClass::JsString, c, true);
    } else if (isDigit(c)) {
        number(end, HtmlClass::JsNumber);
    } else if (isLetter(c) || c == u'_' || c == u'$') {
        qsizetype e = pos;
        while (e < end && (isWordChar(s[e].unicode()) || s[e] == u'$'))
            ++e;
        const HtmlClass cls = inSet(t.jsKeywords, pos, e, false)  ? HtmlClass::JsKeyword
                              : inSet(t.jsMethods, pos, e, false) ? HtmlClass::JsMethod
                                                                  : HtmlClass::JsIdentifier;
        report(pos, e - pos, cls);
        pos = e;
    } else if (!symbol(end, HtmlClass::JsSymbol)) {
        report(pos, 1, HtmlClass::Default);
        ++pos;
    }
}

void LineLexer::vbToken(qsizetype end)
{
    const char16_t c = s[pos].unicode();
    if (c == u'\'') {
        report(pos, end - pos, HtmlClass::VbComment);
        pos = end;
    } else if (c == u'"') {
        quoted(end, HtmlClass::VbString, c, false);
    } else if (isDigit(c)) {
        number(end, HtmlClass::VbNumber);
    } else if (isLetter(c) || c == u'_') {
        qsizetype e = pos;
        while (e < end && isWordChar(s[e].unicode()))
            ++e;
        if (e - pos == 3 && startsWithIgnoringCase(s, pos, u"rem")) {
            report(pos, end - pos, HtmlClass::VbComment);
            pos = end;
            return;
        }
        const HtmlClass cls = inSet(t.vbKeywords, pos, e, true)    ? HtmlClass::VbKeyword
                              : inSet(t.vbFunctions, pos, e, true) ? HtmlClass::VbFunction
                              : inSet(t.vbMethods, pos, e, true)   ? HtmlClass::VbMethod
                                                                   : HtmlClass::VbIdentifier;
        report(pos, e - pos, cls);
        pos = e;
    } else if (!symbol(end, HtmlClass::VbSymbol)) {
        report(pos, 1, HtmlClass::Default);
        ++pos;
    }
}

} // namespace

int HtmlGrammar::highlightLine(QStringView line, int previousState, const Apply &apply) const
{
    const int state = previousState < 0 ? InitialState : previousState;
    LineLexer lexer(line, state, apply, *m_tables);
    return lexer.run();
}

} // namespace zk
