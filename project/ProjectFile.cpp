#include "ProjectFile.h"

#include "References.h"
#include "Themes.h"

#include "CheckedFile.h"
#include "LargePages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <QStringDecoder>

#include <cstring>
#include <optional>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zk {

namespace {

const QString InProject = QStringLiteral("wProjekcie");

QString alignmentName(Alignment a)
{
    switch (a) {
    case Alignment::Center: return QStringLiteral("srodek");
    case Alignment::Right: return QStringLiteral("prawo");
    default: return QStringLiteral("lewo");
    }
}

// ---- writing ----

// A local file inside or below the project's folder is kept relative to it;
// anything else (an address, a relative reference, a file elsewhere) as typed.
QJsonValue fileValue(const QString &typed, const QString &projectFolder)
{
    if (typed.isEmpty() || projectFolder.isEmpty() || classifyReference(typed) != ReferenceKind::LocalPath)
        return typed;
    const QString file = QDir::cleanPath(localPathOf(splitReference(typed)));
    const QString folder = QDir::cleanPath(projectFolder) + u'/';
    if (!file.startsWith(folder) || typed.contains(u'?') || typed.contains(u'#'))
        return typed;
    return QJsonObject{{InProject, file.mid(folder.size())}};
}

QJsonArray textArray(const QStringList &list)
{
    QJsonArray out;
    for (const QString &s : list)
        out.append(s);
    return out;
}

QJsonObject styledText(const QString &text, Alignment a, const QColor &colour)
{
    return {{QStringLiteral("tekst"), text}, {QStringLiteral("wyrownanie"), alignmentName(a)},
            {QStringLiteral("kolor"), colour.name()}};
}

QJsonObject switchedFile(bool on, const QString &file, const QString &folder)
{
    return {{QStringLiteral("wlaczone"), on}, {QStringLiteral("plik"), fileValue(file, folder)}};
}

QJsonObject pageObject(const Project &p, const QString &folder)
{
    const PageDescription &d = p.page;
    QJsonArray links;
    for (const LinkRow &row : d.Grid_Uklad_Odnosniki)
        links.append(QJsonObject{{QStringLiteral("nazwa"), row.name}, {QStringLiteral("adres"), row.address}});
    return {
        {QStringLiteral("sekcje"), QJsonObject{{QStringLiteral("naglowki"), d.Check_Atrybuty_Naglowki},
                                               {QStringLiteral("odnosniki"), d.Check_Atrybuty_Odnosniki},
                                               {QStringLiteral("adresy"), d.Check_Atrybuty_Adresy}}},
        {QStringLiteral("typDokumentu"), d.Lista_Atrybuty_DocType},
        {QStringLiteral("tlo"), QJsonObject{{QStringLiteral("rodzaj"), d.PopUp_Atrybuty_Tlo_Kolor ? QStringLiteral("kolor")
                                                                                                    : QStringLiteral("obraz")},
                                            {QStringLiteral("kolor"), d.Panel_Podglad_Naglowki.name()},
                                            {QStringLiteral("obraz"), fileValue(d.BackgroundImagePath, folder)}}},
        {QStringLiteral("kodowanie"), d.PageEncoding},
        {QStringLiteral("kolory"), QJsonObject{{QStringLiteral("tekst"), d.Przycisk_Atrybuty_Kolor_Tekst.name()},
                                               {QStringLiteral("odnosniki"), d.Przycisk_Atrybuty_Kolor_Odnosniki.name()},
                                               {QStringLiteral("aktywne"), d.Przycisk_Atrybuty_Kolor_Aktywne.name()},
                                               {QStringLiteral("odwiedzone"), d.Przycisk_Atrybuty_Kolor_Odwiedzone.name()}}},
        {QStringLiteral("dzwiek"), QJsonObject{{QStringLiteral("wlaczony"), d.Check_Play},
                                               {QStringLiteral("plik"), fileValue(d.Edit_Src, folder)},
                                               {QStringLiteral("bezKonca"), d.Check_Infinite},
                                               {QStringLiteral("powtorzenia"), d.Spin_Powtorz}}},
        {QStringLiteral("slowaKluczowe"), textArray(d.Lista_Atrybuty_Slowa_Kluczowe)},
        {QStringLiteral("dokumentBazowy"), d.Edit_Atrybuty_Dokument_Bazowy},
        {QStringLiteral("tytul"), d.Edit_Atrybuty_Tytul},
        {QStringLiteral("nazwaPliku"), d.Edit_Nazwa},
        {QStringLiteral("wyglad"), d.Lista_Wyglad},
        {QStringLiteral("opisStrony"), d.Edit_Opis_Strony},
        {QStringLiteral("adresStrony"), d.Edit_Adres_Strony},
        {QStringLiteral("naglowek"), styledText(d.Edit_Uklad_Glowny_Naglowek, d.headerAlignment, d.Przycisk_Uklad_Naglowek_Kolor)},
        {QStringLiteral("podtytul"), styledText(d.Edit_Uklad_Podtytul, d.subtitleAlignment, d.Przycisk_Uklad_Podtytul_Kolor)},
        {QStringLiteral("logo"), switchedFile(d.Check_Uklad_Logo, d.Edit_Uklad_Logo, folder)},
        {QStringLiteral("kreska"), d.Check_Uklad_Naglowek_Kreska},
        {QStringLiteral("odnosniki"),
         QJsonObject{{QStringLiteral("naglowek"), styledText(d.Edit_Uklad_Naglowek_Odnosniki, d.linksHeadingAlignment,
                                                             d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor)},
                     {QStringLiteral("ikona"), switchedFile(d.Check_Uklad_Odnosniki_Ikona, d.Edit_Uklad_Odnosniki_Ikonka, folder)},
                     {QStringLiteral("lista"), links}}},
        {QStringLiteral("adresy"),
         QJsonObject{{QStringLiteral("lista"), textArray(d.Lista_Uklad_Adresy)},
                     {QStringLiteral("ikona"), switchedFile(d.Check_Uklad_Adresy_Ikona, d.Edit_Uklad_Adresy_Ikona, folder)}}},
        {QStringLiteral("tekst"), p.mainText},
    };
}

// What the file had that this version does not write stays.
QJsonObject merged(QJsonObject kept, const QJsonObject &fresh)
{
    for (auto it = fresh.begin(); it != fresh.end(); ++it) {
        const QJsonValue old = kept.value(it.key());
        kept.insert(it.key(), old.isObject() && it->isObject() ? QJsonValue(merged(old.toObject(), it->toObject())) : QJsonValue(*it));
    }
    return kept;
}

// ---- reading ----

// Reads typed values out of the JSON; the first value of a wrong type is
// remembered with its place, and the caller gives up.
// Without the NUL character and lone surrogate halves, which no page may hold.
QString withoutForbidden(const QString &text, bool &dropped)
{
    qsizetype i = 0;
    const auto forbiddenAt = [&](qsizetype at) {
        const QChar c = text[at];
        if (c.isNull())
            return true;
        if (c.isHighSurrogate())
            return at + 1 >= text.size() || !text[at + 1].isLowSurrogate();
        return c.isLowSurrogate() && (at == 0 || !text[at - 1].isHighSurrogate());
    };
    while (i < text.size() && !forbiddenAt(i))
        ++i;
    if (i == text.size())
        return text;
    dropped = true;
    QString out = text.left(i);
    for (; i < text.size(); ++i)
        if (!forbiddenAt(i))
            out += text[i];
    return out;
}

class Reader {
public:
    explicit Reader(QString folder) : m_folder(std::move(folder)) {}

    QString error;
    bool dropped = false;       // forbidden characters were left out
    QStringList outsideFolder;  // paths "inside" the project that climb out of it

    QJsonObject object(const QJsonObject &o, const QString &key, const QString &at)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return {};
        if (!v.isObject())
            fail(at + key, QStringLiteral("obiektem"));
        return v.toObject();
    }
    QString text(const QJsonObject &o, const QString &key, const QString &at, const QString &fallback)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isString())
            fail(at + key, QStringLiteral("tekstem"));
        return withoutForbidden(v.toString(), dropped);
    }
    // A text of a one-line field: a longer one would be cut by the field unseen.
    QString line(const QJsonObject &o, const QString &key, const QString &at, const QString &fallback)
    {
        const QString t = text(o, key, at, fallback);
        if (t.size() > MaxFieldLength)
            fail(at + key, QStringLiteral("tekstem krótszym niż 32 768 znaków"));
        return t;
    }
    bool flag(const QJsonObject &o, const QString &key, const QString &at, bool fallback)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(at + key, QStringLiteral("wartością true lub false"));
        return v.toBool(fallback);
    }
    int integer(const QJsonObject &o, const QString &key, const QString &at, int fallback, int low, int high)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        const double d = v.toDouble(-1e300);
        if (!v.isDouble() || d != double(qint64(d)) || d < low || d > high)
            fail(at + key, QStringLiteral("liczbą całkowitą od %1 do %2").arg(low).arg(high));
        return v.isDouble() ? int(std::clamp<double>(d, low, high)) : fallback;
    }
    QColor colour(const QJsonObject &o, const QString &key, const QString &at, const QColor &fallback)
    {
        const QString name = text(o, key, at, fallback.name());
        static const QRegularExpression rrggbb(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        const QColor c = rrggbb.match(name).hasMatch() ? QColor::fromString(name) : QColor();
        if (!c.isValid() && error.isEmpty())
            fail(at + key, QStringLiteral("kolorem w postaci #rrggbb"));
        return c.isValid() ? c : fallback;
    }
    Alignment alignment(const QJsonObject &o, const QString &key, const QString &at)
    {
        const QString name = text(o, key, at, QStringLiteral("lewo"));
        for (Alignment a : {Alignment::Left, Alignment::Center, Alignment::Right})
            if (alignmentName(a) == name)
                return a;
        fail(at + key, QStringLiteral("jednym z: \"lewo\", \"srodek\", \"prawo\""));
        return Alignment::Left;
    }
    QStringList texts(const QJsonObject &o, const QString &key, const QString &at)
    {
        const QJsonValue v = o.value(key);
        QStringList out;
        if (v.isUndefined())
            return out;
        if (!v.isArray())
            fail(at + key, QStringLiteral("listą tekstów"));
        for (const QJsonValue &item : v.toArray()) {
            if (!item.isString())
                fail(at + key, QStringLiteral("listą tekstów"));
            out << withoutForbidden(item.toString(), dropped);
        }
        return out;
    }
    QString file(const QJsonObject &o, const QString &key, const QString &at)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() || v.isString())
            return v.toString();
        const QJsonValue relative = v.toObject().value(InProject);
        if (!v.isObject() || !relative.isString() || QDir::isAbsolutePath(relative.toString())) {
            fail(at + key, QStringLiteral("tekstem lub obiektem {\"%1\": \"ścieżka względna\"}").arg(InProject));
            return {};
        }
        const QString file = QDir::cleanPath(QDir(m_folder).filePath(relative.toString()));
        if (!file.startsWith(QDir::cleanPath(m_folder) + u'/')) {
            outsideFolder << file; // never followed: the page names nothing outside unless the user chose it
            return {};
        }
        return file;
    }

private:
    void fail(const QString &field, const QString &kind)
    {
        if (error.isEmpty())
            error = QStringLiteral("pole \"%1\" powinno być %2").arg(field, kind);
    }
    QString m_folder;
};

void readStyled(Reader &r, const QJsonObject &o, const QString &at, QString &text, Alignment &a, QColor &colour)
{
    text = r.line(o, QStringLiteral("tekst"), at, text);
    a = r.alignment(o, QStringLiteral("wyrownanie"), at);
    colour = r.colour(o, QStringLiteral("kolor"), at, colour);
}

void readSwitchedFile(Reader &r, const QJsonObject &o, const QString &at, bool &on, QString &file)
{
    on = r.flag(o, QStringLiteral("wlaczone"), at, on);
    file = r.file(o, QStringLiteral("plik"), at);
}

void readPage(Reader &r, const QJsonObject &s, Project &p)
{
    PageDescription &d = p.page;
    const QString at = QStringLiteral("strona.");
    const QJsonObject sections = r.object(s, QStringLiteral("sekcje"), at);
    const QString atSections = at + QStringLiteral("sekcje.");
    d.Check_Atrybuty_Naglowki = r.flag(sections, QStringLiteral("naglowki"), atSections, d.Check_Atrybuty_Naglowki);
    d.Check_Atrybuty_Odnosniki = r.flag(sections, QStringLiteral("odnosniki"), atSections, d.Check_Atrybuty_Odnosniki);
    d.Check_Atrybuty_Adresy = r.flag(sections, QStringLiteral("adresy"), atSections, d.Check_Atrybuty_Adresy);
    d.Lista_Atrybuty_DocType = r.line(s, QStringLiteral("typDokumentu"), at, d.Lista_Atrybuty_DocType);

    const QJsonObject background = r.object(s, QStringLiteral("tlo"), at);
    const QString atBackground = at + QStringLiteral("tlo.");
    const QString kind = r.text(background, QStringLiteral("rodzaj"), atBackground, QStringLiteral("kolor"));
    if (kind != u"kolor" && kind != u"obraz" && r.error.isEmpty())
        r.error = QStringLiteral("pole \"%1rodzaj\" powinno być jednym z: \"kolor\", \"obraz\"").arg(atBackground);
    d.PopUp_Atrybuty_Tlo_Kolor = kind != u"obraz";
    d.Panel_Podglad_Naglowki = r.colour(background, QStringLiteral("kolor"), atBackground, d.Panel_Podglad_Naglowki);
    d.BackgroundImagePath = r.file(background, QStringLiteral("obraz"), atBackground);
    d.PageEncoding = r.text(s, QStringLiteral("kodowanie"), at, d.PageEncoding);
    if (d.PageEncoding != u"ISO-8859-2" && d.PageEncoding != u"CP-1250" && d.PageEncoding != u"UTF-8" && r.error.isEmpty())
        r.error = QStringLiteral("pole \"%1kodowanie\" powinno być jednym z: \"ISO-8859-2\", \"CP-1250\", \"UTF-8\"").arg(at);

    const QJsonObject colours = r.object(s, QStringLiteral("kolory"), at);
    const QString atColours = at + QStringLiteral("kolory.");
    d.Przycisk_Atrybuty_Kolor_Tekst = r.colour(colours, QStringLiteral("tekst"), atColours, d.Przycisk_Atrybuty_Kolor_Tekst);
    d.Przycisk_Atrybuty_Kolor_Odnosniki = r.colour(colours, QStringLiteral("odnosniki"), atColours, d.Przycisk_Atrybuty_Kolor_Odnosniki);
    d.Przycisk_Atrybuty_Kolor_Aktywne = r.colour(colours, QStringLiteral("aktywne"), atColours, d.Przycisk_Atrybuty_Kolor_Aktywne);
    d.Przycisk_Atrybuty_Kolor_Odwiedzone = r.colour(colours, QStringLiteral("odwiedzone"), atColours, d.Przycisk_Atrybuty_Kolor_Odwiedzone);

    const QJsonObject sound = r.object(s, QStringLiteral("dzwiek"), at);
    const QString atSound = at + QStringLiteral("dzwiek.");
    d.Check_Play = r.flag(sound, QStringLiteral("wlaczony"), atSound, d.Check_Play);
    d.Edit_Src = r.file(sound, QStringLiteral("plik"), atSound);
    d.Check_Infinite = r.flag(sound, QStringLiteral("bezKonca"), atSound, d.Check_Infinite);
    d.Spin_Powtorz = r.integer(sound, QStringLiteral("powtorzenia"), atSound, d.Spin_Powtorz, 0, 999);

    d.Lista_Atrybuty_Slowa_Kluczowe = r.texts(s, QStringLiteral("slowaKluczowe"), at);
    d.Edit_Atrybuty_Dokument_Bazowy = r.line(s, QStringLiteral("dokumentBazowy"), at, d.Edit_Atrybuty_Dokument_Bazowy);
    d.Edit_Atrybuty_Tytul = r.line(s, QStringLiteral("tytul"), at, d.Edit_Atrybuty_Tytul);
    d.Edit_Nazwa = r.line(s, QStringLiteral("nazwaPliku"), at, d.Edit_Nazwa);
    d.Lista_Wyglad = r.text(s, QStringLiteral("wyglad"), at, d.Lista_Wyglad);
    if (themeById(d.Lista_Wyglad).id != d.Lista_Wyglad && r.error.isEmpty()) {
        QStringList ids;
        for (const Theme &t : themes())
            ids << u'"' + t.id + u'"';
        r.error = QStringLiteral("pole \"%1wyglad\" powinno być jednym z: %2").arg(at, ids.join(QStringLiteral(", ")));
    }
    d.Edit_Opis_Strony = r.line(s, QStringLiteral("opisStrony"), at, d.Edit_Opis_Strony);
    d.Edit_Adres_Strony = r.line(s, QStringLiteral("adresStrony"), at, d.Edit_Adres_Strony);

    readStyled(r, r.object(s, QStringLiteral("naglowek"), at), at + QStringLiteral("naglowek."), d.Edit_Uklad_Glowny_Naglowek,
               d.headerAlignment, d.Przycisk_Uklad_Naglowek_Kolor);
    readStyled(r, r.object(s, QStringLiteral("podtytul"), at), at + QStringLiteral("podtytul."), d.Edit_Uklad_Podtytul,
               d.subtitleAlignment, d.Przycisk_Uklad_Podtytul_Kolor);
    readSwitchedFile(r, r.object(s, QStringLiteral("logo"), at), at + QStringLiteral("logo."), d.Check_Uklad_Logo, d.Edit_Uklad_Logo);
    d.Check_Uklad_Naglowek_Kreska = r.flag(s, QStringLiteral("kreska"), at, d.Check_Uklad_Naglowek_Kreska);

    const QJsonObject links = r.object(s, QStringLiteral("odnosniki"), at);
    const QString atLinks = at + QStringLiteral("odnosniki.");
    readStyled(r, r.object(links, QStringLiteral("naglowek"), atLinks), atLinks + QStringLiteral("naglowek."),
               d.Edit_Uklad_Naglowek_Odnosniki, d.linksHeadingAlignment, d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor);
    readSwitchedFile(r, r.object(links, QStringLiteral("ikona"), atLinks), atLinks + QStringLiteral("ikona."),
                     d.Check_Uklad_Odnosniki_Ikona, d.Edit_Uklad_Odnosniki_Ikonka);
    const QJsonValue list = links.value(QStringLiteral("lista"));
    if (!list.isUndefined() && !list.isArray() && r.error.isEmpty())
        r.error = QStringLiteral("pole \"%1lista\" powinno być listą odnośników").arg(atLinks);
    for (const QJsonValue &row : list.toArray()) {
        const QString atRow = atLinks + QStringLiteral("lista[].");
        if (!row.isObject() && r.error.isEmpty())
            r.error = QStringLiteral("pole \"%1lista\" powinno być listą odnośników").arg(atLinks);
        d.Grid_Uklad_Odnosniki.append({r.line(row.toObject(), QStringLiteral("nazwa"), atRow, {}),
                                       r.line(row.toObject(), QStringLiteral("adres"), atRow, {})});
    }

    const QJsonObject addresses = r.object(s, QStringLiteral("adresy"), at);
    const QString atAddresses = at + QStringLiteral("adresy.");
    d.Lista_Uklad_Adresy = r.texts(addresses, QStringLiteral("lista"), atAddresses);
    readSwitchedFile(r, r.object(addresses, QStringLiteral("ikona"), atAddresses), atAddresses + QStringLiteral("ikona."),
                     d.Check_Uklad_Adresy_Ikona, d.Edit_Uklad_Adresy_Ikona);
    p.mainText = r.text(s, QStringLiteral("tekst"), at, {});
}

// Every key this version writes, as the file of an empty page has them.
const QJsonObject &knownKeys()
{
    static const QJsonObject skeleton = QJsonDocument::fromJson(projectToJson(Project{}, {})).object();
    return skeleton;
}

bool hasUnknownKeys(const QJsonObject &object, const QJsonObject &known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonValue mine = known.value(it.key());
        if (mine.isUndefined())
            return true;
        if (it->isObject() && mine.isObject() && hasUnknownKeys(it->toObject(), mine.toObject()))
            return true;
    }
    return false;
}

QString parseErrorText(const QJsonParseError &e, qsizetype size)
{
    switch (e.error) {
    case QJsonParseError::UnterminatedObject:
    case QJsonParseError::UnterminatedArray:
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("plik jest niepełny (urywa się w bajcie %1)").arg(e.offset);
    default:
        if (e.offset >= size)
            return QStringLiteral("plik jest niepełny (urywa się w bajcie %1)").arg(e.offset);
        return QStringLiteral("to nie jest poprawny plik JSON (błąd w bajcie %1)").arg(e.offset);
    }
}

} // namespace

namespace {

// Qt's writer takes longer over a text of megabytes than everything else
// together; the main text is escaped here and put in place of a marker.
const QString TextMarker = QStringLiteral("@@zentarek-tekst-4d1c9b@@");

QByteArray jsonString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 8 + 2);
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20)
                out += "\\u00" + QByteArray::number(c, 16).rightJustified(2, '0');
            else
                out += ch;
        }
    }
    out += '"';
    return out;
}

} // namespace

QByteArray projectToJson(const Project &project, const QString &projectFolder)
{
    Project shell = project;
    shell.mainText = TextMarker;
    QJsonObject profile{{QStringLiteral("serwer"), project.profile.server},
                              {QStringLiteral("uzytkownik"), project.profile.user},
                              {QStringLiteral("folder"), project.profile.folder},
                              {QStringLiteral("asynchronicznie"), project.profile.async},
                              {QStringLiteral("szyfrowanie"), project.profile.tls}};
    if (project.profile.sftp) // named only when chosen, so a project of FTP is written as before
        profile.insert(QStringLiteral("protokol"), QStringLiteral("SFTP"));
    const QJsonObject fresh{{QStringLiteral("format"), ProjectFormatName},
                            {QStringLiteral("wersja"), ProjectFormatVersion},
                            {QStringLiteral("strona"), pageObject(shell, projectFolder)},
                            {QStringLiteral("zawijanieWierszy"), project.wordWrap},
                            {QStringLiteral("publikowanie"), profile}};
    QJsonObject root = merged(project.kept, fresh);
    root.remove(QStringLiteral("haslo")); // a password never goes into a project
    QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    const QByteArray marker = '"' + TextMarker.toUtf8() + '"';
    const qsizetype at = json.indexOf(marker);
    if (at < 0 || json.indexOf(marker, at + 1) >= 0) { // the marker typed into a field: the slow way
        QJsonObject page = root.value(QStringLiteral("strona")).toObject();
        page.insert(QStringLiteral("tekst"), project.mainText);
        root.insert(QStringLiteral("strona"), page);
        return QJsonDocument(root).toJson(QJsonDocument::Indented);
    }
    return json.replace(at, marker.size(), jsonString(project.mainText));
}

namespace {

ProjectRead projectFromJsonWithQt(const QByteArray &json, const QString &projectFolder);

// The end of the JSON string that opens at `at` (the index after its
// closing quote), or -1 when it does not end.
qsizetype stringEnd(const QByteArray &json, qsizetype at)
{
    const char *data = json.constData();
    for (qsizetype i = at + 1; i < json.size();) {
        const void *hit = std::memchr(data + i, '"', size_t(json.size() - i));
        if (!hit)
            return -1;
        const qsizetype quote = static_cast<const char *>(hit) - data;
        qsizetype backslashes = 0;
        while (quote - backslashes - 1 > at && data[quote - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            return quote + 1;
        i = quote + 1;
    }
    return -1;
}

// Where the value of strona.tekst lies: the whole JSON string, quotes
// included; {-1, -1} when it is not found exactly once as a string.
std::pair<qsizetype, qsizetype> mainTextSpan(const QByteArray &json)
{
    std::pair<qsizetype, qsizetype> found{-1, -1};
    QList<QByteArray> path;   // keys of the objects we are in
    QList<char> containers;   // '{' or '['
    QByteArray key;           // the last key read in the innermost object
    bool expectKey = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            const qsizetype end = stringEnd(json, i);
            if (end < 0)
                return {-1, -1};
            if (expectKey && !containers.isEmpty() && containers.last() == '{') {
                key = json.mid(i + 1, end - i - 2);
                expectKey = false;
            } else if (containers.size() == 2 && path.value(1) == "strona" && key == "tekst") {
                if (found.first >= 0)
                    return {-1, -1}; // given twice: the reader of Qt decides
                found = {i, end};
            }
            i = end - 1;
        } else if (c == '{' || c == '[') {
            path << (containers.isEmpty() ? QByteArray() : key);
            containers << c;
            expectKey = c == '{';
            key.clear();
        } else if (c == '}' || c == ']') {
            if (containers.isEmpty())
                return {-1, -1};
            containers.removeLast();
            path.removeLast();
            key.clear();
        } else if (c == ',') {
            expectKey = !containers.isEmpty() && containers.last() == '{';
            key.clear();
        }
    }
    return found;
}

// Whether none of eight bytes is a control character, a backslash or above
// 0x7F. A byte under n borrows into its own top bit when n is taken from each.
constexpr bool plainAscii(quint64 w)
{
    constexpr quint64 each = 0x0101010101010101ull, tops = each * 0x80;
    const quint64 backslashes = w ^ (each * '\\'); // zero where a backslash was
    return ((w | ((w - each * 0x20) & ~w) | ((backslashes - each) & ~backslashes)) & tops) == 0;
}

// One escape of a JSON string after its backslash; 0 for \u and anything
// else this reader leaves to Qt's.
char16_t escaped(unsigned char c)
{
    switch (c) {
    case '"': return u'"';
    case '\\': return u'\\';
    case '/': return u'/';
    case 'b': return u'\b';
    case 'f': return u'\f';
    case 'n': return u'\n';
    case 'r': return u'\r';
    case 't': return u'\t';
    default: return 0;
    }
}

// One character of strict UTF-8 at p (p < end) into out; the bytes it took,
// or 0 when they are not strict UTF-8 (an overlong form, a surrogate, past
// U+10FFFF, cut short).
int decodeUtf8(const unsigned char *p, const unsigned char *end, char16_t *&out)
{
    const unsigned lead = *p;
    int length;
    char32_t code, least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    if (code >= 0x10000) {
        *out++ = QChar::highSurrogate(code);
        *out++ = QChar::lowSurrogate(code);
    } else {
        *out++ = char16_t(code);
    }
    return length;
}

// The text of a JSON string (quotes included) in one pass over its bytes,
// eight plain ASCII ones at a step; nothing when it holds a raw control
// character, an escape this reader leaves to Qt (\u) or bytes that are not
// strict UTF-8: then Qt reads the file. What it returns can hold neither NUL
// nor half of a surrogate pair, so it needs no further check.
std::optional<QString> decodeJsonString(QByteArrayView quoted)
{
    QString text(quoted.size(), Qt::Uninitialized); // a unit a byte at most
    adviseLargePages(text.data(), text.size() * qsizetype(sizeof(QChar)));
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    const auto *p = reinterpret_cast<const unsigned char *>(quoted.data()) + 1;
    const auto *end = reinterpret_cast<const unsigned char *>(quoted.data()) + quoted.size() - 1;
    while (p < end) {
#ifdef __SSE2__
        // Sixteen bytes at a step; where one of them is not plain, the
        // plain ones before it are kept (the text has room for all sixteen).
        const __m128i zero = _mm_setzero_si128(), space = _mm_set1_epi8(0x20), backslash = _mm_set1_epi8('\\');
        while (end - p >= 16) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            // A byte of 0x80 and above is negative, so under 0x20 as well.
            const int unfit = _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(b, space), _mm_cmpeq_epi8(b, backslash)));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(b, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(b, zero));
            const int plain = unfit ? __builtin_ctz(unsigned(unfit)) : 16;
            p += plain;
            out += plain;
            if (unfit)
                break;
        }
#endif
        for (; end - p >= 8; p += 8, out += 8) {
            quint64 w;
            std::memcpy(&w, p, sizeof w);
            if (!plainAscii(w))
                break;
            for (int k = 0; k < 8; ++k)
                out[k] = p[k];
        }
        if (p == end)
            break;
        if (*p < 0x20)
            return std::nullopt; // a raw control character: not JSON
        if (*p == '\\') {
            if (end - p < 2 || !escaped(p[1]))
                return std::nullopt;
            *out++ = escaped(p[1]);
            p += 2;
        } else if (*p < 0x80) {
            *out++ = *p++;
        } else if (const int length = decodeUtf8(p, end, out)) {
            p += length;
        } else {
            return std::nullopt;
        }
    }
    text.truncate(out - begin);
    return text;
}

} // namespace

ProjectRead projectFromJson(const QByteArray &json, const QString &projectFolder)
{
    // Qt's reader takes longer over a text of megabytes than everything
    // else together: the main text is read here and the rest by Qt.
    const auto [start, end] = mainTextSpan(json);
    if (start >= 0 && end - start > 4096) {
        if (std::optional<QString> text = decodeJsonString(QByteArrayView(json).sliced(start, end - start))) {
            // Built beside the file, not copied from it: the text is most of it.
            QByteArray rest;
            rest.reserve(json.size() - (end - start) + 2);
            rest.append(QByteArrayView(json).first(start)).append("\"\"").append(QByteArrayView(json).sliced(end));
            ProjectRead read = projectFromJsonWithQt(rest, projectFolder);
            if (read.project) {
                read.project->mainText = std::move(*text);
                return read;
            }
        }
    }
    return projectFromJsonWithQt(json, projectFolder);
}

namespace {

ProjectRead projectFromJsonWithQt(const QByteArray &json, const QString &projectFolder)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, parseErrorText(parseError, json.size())};
    if (!doc.isObject())
        return {std::nullopt, QStringLiteral("to nie jest plik projektu (brak obiektu JSON)")};
    const QJsonObject root = doc.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (format.toString() != ProjectFormatName)
        return {std::nullopt, format.isString() ? QStringLiteral("to nie jest projekt tego programu (format \"%1\")").arg(format.toString())
                                                : QStringLiteral("to nie jest projekt tego programu (brak nazwy formatu)")};
    const QJsonValue version = root.value(QStringLiteral("wersja"));
    if (!version.isDouble() || version.toDouble() < 1 || version.toDouble() != double(version.toInt()))
        return {std::nullopt, QStringLiteral("pole \"wersja\" powinno być liczbą całkowitą od 1")};
    if (version.toInt() > ProjectFormatVersion)
        return {std::nullopt, QStringLiteral("projekt zapisano w nowszej wersji programu (wersja formatu %1, ta wersja czyta do %2)")
                                  .arg(version.toInt())
                                  .arg(ProjectFormatVersion)};
    Reader r(projectFolder);
    Project p;
    if (hasUnknownKeys(root, knownKeys())) {
        p.kept = root;
        // The main text is known and large: held once, in `mainText`.
        QJsonObject keptPage = p.kept.value(QStringLiteral("strona")).toObject();
        keptPage.remove(QStringLiteral("tekst"));
        if (p.kept.value(QStringLiteral("strona")).isObject())
            p.kept.insert(QStringLiteral("strona"), keptPage);
    }
    readPage(r, r.object(root, QStringLiteral("strona"), {}), p);
    p.wordWrap = r.flag(root, QStringLiteral("zawijanieWierszy"), {}, false);
    const QJsonObject profile = r.object(root, QStringLiteral("publikowanie"), {});
    const QString atProfile = QStringLiteral("publikowanie.");
    p.profile.server = r.line(profile, QStringLiteral("serwer"), atProfile, {});
    p.profile.user = r.line(profile, QStringLiteral("uzytkownik"), atProfile, {});
    p.profile.folder = r.line(profile, QStringLiteral("folder"), atProfile, {});
    p.profile.async = r.flag(profile, QStringLiteral("asynchronicznie"), atProfile, false);
    p.profile.tls = r.flag(profile, QStringLiteral("szyfrowanie"), atProfile, false);
    p.profile.sftp = r.line(profile, QStringLiteral("protokol"), atProfile, {}).compare(u"SFTP", Qt::CaseInsensitive) == 0;
    if (!r.error.isEmpty())
        return {std::nullopt, r.error};
    QStringList notes;
    if (r.dropped)
        notes << QStringLiteral("Pominięto znaki, których strona nie może zawierać (znak NUL lub niepełne znaki UTF-16).");
    if (!r.outsideFolder.isEmpty())
        notes << QStringLiteral("Te pliki leżą poza folderem projektu, choć projekt podaje je jako pliki z jego folderu, "
                                "więc pominięto je:\n") + r.outsideFolder.join(u'\n');
    return {std::move(p), {}, notes};
}

} // namespace

ProjectRead readProjectFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {std::nullopt, QStringLiteral("plik nie istnieje")};
    if (info.isDir())
        return {std::nullopt, QStringLiteral("to jest folder, nie plik projektu")};
    if (info.size() > MaxProjectFileSize)
        return {std::nullopt, QStringLiteral("plik jest większy niż 10 MB")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {std::nullopt, systemErrorText(errno)};
    // Straight into a buffer of the size looked at; a file that grew since
    // is read to its end.
    QByteArray bytes(info.size() + 1, Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    qint64 got = 0;
    while (got < bytes.size()) {
        const qint64 part = file.read(bytes.data() + got, bytes.size() - got);
        if (part < 0)
            return {std::nullopt, systemErrorText(errno)};
        if (part == 0)
            break;
        got += part;
    }
    bytes.truncate(got);
    if (got > info.size())
        bytes += file.readAll();
    if (bytes.size() > MaxProjectFileSize)
        return {std::nullopt, QStringLiteral("plik jest większy niż 10 MB")};
    return projectFromJson(bytes, info.absolutePath());
}

QString oversizeProblem(const Project &project, qsizetype jsonSize)
{
    if (jsonSize <= MaxProjectFileSize)
        return {};
    const auto megabytes = [](qsizetype bytes) { return QString::number(double(bytes) / (1024 * 1024), 'f', 1); };
    return QStringLiteral("projekt zająłby %1 MB, a program otwiera projekty do 10 MB (tekst główny: %2 MB, odnośników: %3)")
        .arg(megabytes(jsonSize), megabytes(project.mainText.toUtf8().size()))
        .arg(project.page.Grid_Uklad_Odnosniki.size());
}

std::optional<QString> writeProjectFile(const Project &project, const QString &path)
{
    const QByteArray json = projectToJson(project, QFileInfo(path).absolutePath());
    if (const QString problem = oversizeProblem(project, json.size()); !problem.isEmpty())
        return problem;
    return writeFileChecked(path, json);
}

QStringList missingProjectFiles(const Project &project)
{
    const PageDescription &d = project.page;
    const QList<std::pair<bool, QString>> used{
        {!d.PopUp_Atrybuty_Tlo_Kolor, d.BackgroundImagePath}, {d.Check_Play, d.Edit_Src},
        {d.Check_Uklad_Logo, d.Edit_Uklad_Logo}, {d.Check_Uklad_Odnosniki_Ikona, d.Edit_Uklad_Odnosniki_Ikonka},
        {d.Check_Uklad_Adresy_Ikona, d.Edit_Uklad_Adresy_Ikona}};
    QStringList missing;
    for (const auto &[on, typed] : used) {
        if (!on || typed.isEmpty() || classifyReference(typed) != ReferenceKind::LocalPath)
            continue;
        const QString file = localPathOf(splitReference(typed));
        if (!QFileInfo(file).isFile() && !missing.contains(file))
            missing << file;
    }
    return missing;
}

} // namespace zk
