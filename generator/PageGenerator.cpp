#include "PageGenerator.h"

#include "Encoding.h"
#include "Html5Page.h"
#include "Paths.h"
#include "References.h"
#include "Product.h"

namespace zk {

namespace {

QString q(const QString &s)
{
    return u'"' + s + u'"';
}

QString alignmentSuffix(Alignment a)
{
    switch (a) {
    case Alignment::Center: return QStringLiteral(" ALIGN=CENTER>");
    case Alignment::Right: return QStringLiteral(" ALIGN=RIGHT>");
    case Alignment::Left: break;
    }
    return QStringLiteral(" ALIGN=LEFT>");
}

QString heading(int level, Alignment a, const QColor &color, const QString &text)
{
    const QString h = QStringLiteral("H%1").arg(level);
    return u'<' + h + alignmentSuffix(a) + QStringLiteral("<FONT COLOR=") + KolorNaHex(color) + u'>' + text
           + QStringLiteral("</FONT></") + h + u'>';
}

// The first non-letter of a format, as the separator of its fields.
QChar separatorIn(const QString &format, QChar fallback)
{
    for (QChar c : format)
        if (!c.isLetter() && c != u'\'')
            return c.isSpace() ? fallback : c;
    return fallback;
}

QChar timeSeparator(const QLocale &locale)
{
    return separatorIn(locale.timeFormat(QLocale::ShortFormat), u':');
}

QChar dateSeparator(const QLocale &locale)
{
    return separatorIn(locale.dateFormat(QLocale::ShortFormat), u'/');
}

QString two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

void addHead(QStringList &out, const PageDescription &d, const GeneratorContext &c)
{
    if (!d.Lista_Atrybuty_DocType.isEmpty())
        out << d.Lista_Atrybuty_DocType;
    out << QStringLiteral("<HTML>") << QStringLiteral("<HEAD>");
    const QString charset = charsetName(d.PageEncoding);
    if (isHtml5(d.Lista_Atrybuty_DocType)) {
        // The charset first, as HTML5 wants it; it replaces the Content-type line,
        // which HTML5 does not allow beside it. The viewport makes phones use their width.
        out << QStringLiteral("<meta charset=\"%1\">").arg(charset);
        out << QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    } else {
        out << QStringLiteral("<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=%1\">").arg(charset);
    }
    out << QStringLiteral("<META HTTP-EQUIV=\"Creation-date\" CONTENT=\"") + creationStamp(c.nowUtc, c.locale)
               + QStringLiteral(" GMT\">");
    const bool contact = d.Check_Atrybuty_Adresy && !d.Lista_Uklad_Adresy.isEmpty();
    if (contact)
        out << QStringLiteral("<META HTTP-EQUIV=\"Reply-to\" CONTENT=\"")
                   + escapeAttribute(d.Lista_Uklad_Adresy.first() + QStringLiteral(" (") + c.ownerName + u')')
                   + QStringLiteral("\">");
    if (!d.Lista_Atrybuty_Slowa_Kluczowe.isEmpty())
        out << QStringLiteral("<META NAME=\"Keywords\" CONTENT=\"")
                   + escapeAttribute(d.Lista_Atrybuty_Slowa_Kluczowe.join(QStringLiteral(", "))) + QStringLiteral("\">");
    if (!d.Edit_Atrybuty_Tytul.isEmpty())
        out << QStringLiteral("<META NAME=\"Description\" CONTENT=\"") + escapeAttribute(d.Edit_Atrybuty_Tytul)
                   + QStringLiteral("\">");
    out << QStringLiteral("<META NAME=\"Author\" CONTENT=\"") + escapeAttribute(c.ownerName) + QStringLiteral("\">");
    out << QStringLiteral("<META NAME=\"Generator\" CONTENT=\"Zentarek Light\">");
    if (!d.Edit_Atrybuty_Dokument_Bazowy.isEmpty())
        out << QStringLiteral("<BASE HREF=\"") + escapeAttribute(d.Edit_Atrybuty_Dokument_Bazowy) + QStringLiteral("\">");
    if (contact)
        out << QStringLiteral("<LINK REV=\"made\" HREF=\"mailto:") + escapeAttribute(d.Lista_Uklad_Adresy.first()) + QStringLiteral("\">");
    out << QStringLiteral("<TITLE>") + d.Edit_Atrybuty_Tytul + QStringLiteral("</TITLE>");
    out << QStringLiteral("</HEAD>");
}

QString bodyLine(const PageDescription &d, const QHash<QString, QString> &names)
{
    QString background;
    if (!d.PopUp_Atrybuty_Tlo_Kolor)
        background = QStringLiteral(" BACKGROUND=\"") + pageReference(d.BackgroundImagePath, names) + u'"';
    else if ((d.Panel_Podglad_Naglowki.rgb() & 0xFFFFFF) != 0xC0C0C0)
        background = QStringLiteral(" BGCOLOR=") + KolorNaHex(d.Panel_Podglad_Naglowki);
    return QStringLiteral("<BODY") + background + QStringLiteral(" TEXT=") + KolorNaHex(d.Przycisk_Atrybuty_Kolor_Tekst)
           + QStringLiteral(" LINK=") + KolorNaHex(d.Przycisk_Atrybuty_Kolor_Odnosniki) + QStringLiteral(" ALINK=")
           + KolorNaHex(d.Przycisk_Atrybuty_Kolor_Aktywne) + QStringLiteral(" VLINK=")
           + KolorNaHex(d.Przycisk_Atrybuty_Kolor_Odwiedzone) + u'>';
}

// Browsers of today play no BGSOUND and start no sound by themselves: an
// HTML5 page gets a player with controls, repeating as BGSOUND's LOOP said
// (a count plays the sound that many times).
QString audioLine(const PageDescription &d, const QHash<QString, QString> &names)
{
    QString repeat;
    if (d.Check_Infinite)
        repeat = QStringLiteral(" LOOP");
    else if (d.Spin_Powtorz > 1)
        repeat = QStringLiteral(" DATA-RAZY=\"%1\" ONENDED=\"if (--this.dataset.razy > 0) this.play()\"").arg(d.Spin_Powtorz);
    return QStringLiteral("<AUDIO SRC=\"") + escapeAttribute(pageReference(d.Edit_Src, names)) + QStringLiteral("\" CONTROLS")
           + repeat + QStringLiteral("></AUDIO>");
}

QString soundLine(const PageDescription &d, const QHash<QString, QString> &names)
{
    if (isHtml5(d.Lista_Atrybuty_DocType))
        return audioLine(d, names);
    const QString loop = d.Check_Infinite ? QStringLiteral(" LOOP=\"INFINITE\"")
                                          : QStringLiteral(" LOOP=\"%1\"").arg(d.Spin_Powtorz);
    return QStringLiteral("<BGSOUND SRC=\"") + pageReference(d.Edit_Src, names) + u'"' + loop + u'>';
}

void addHeaderSection(QStringList &out, const PageDescription &d, const QHash<QString, QString> &names)
{
    if (!d.Edit_Uklad_Glowny_Naglowek.isEmpty()) {
        out << QString() << QStringLiteral("<!-- Sekcja nagłówków i obrazka tytułowego -->");
        out << heading(1, d.headerAlignment, d.Przycisk_Uklad_Naglowek_Kolor, d.Edit_Uklad_Glowny_Naglowek);
    }
    if (d.Check_Uklad_Logo)
        out << QStringLiteral("<CENTER><IMG SRC=\"") + pageReference(d.Edit_Uklad_Logo, names)
                   + QStringLiteral("\" ALT=\"Obrazek tytułowy\"></CENTER>");
    if (!d.Edit_Uklad_Podtytul.isEmpty())
        out << heading(2, d.subtitleAlignment, d.Przycisk_Uklad_Podtytul_Kolor, d.Edit_Uklad_Podtytul);
    if (d.Check_Uklad_Naglowek_Kreska)
        out << QStringLiteral("<HR>");
}

void addLinksSection(QStringList &out, const PageDescription &d, const QHash<QString, QString> &names)
{
    if (!d.Check_Atrybuty_Odnosniki || d.Grid_Uklad_Odnosniki.isEmpty() || d.Grid_Uklad_Odnosniki.first().name.isEmpty())
        return;
    out << QString() << QStringLiteral("<!-- Sekcja ulubionych odnośników -->");
    if (!d.Edit_Uklad_Naglowek_Odnosniki.isEmpty())
        out << heading(3, d.linksHeadingAlignment, d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor,
                       d.Edit_Uklad_Naglowek_Odnosniki);
    const QString icon = d.Check_Uklad_Odnosniki_Ikona
                             ? QStringLiteral("<IMG SRC=\"") + pageReference(d.Edit_Uklad_Odnosniki_Ikonka, names)
                                   + QStringLiteral("\" BORDER=0 ALT=\"* \">")
                             : QString();
    for (const LinkRow &row : d.Grid_Uklad_Odnosniki)
        out << QStringLiteral("<A HREF=\"") + row.address + QStringLiteral("\">") + icon + row.name
                   + QStringLiteral("</A><BR>");
}

void addContactSection(QStringList &out, const PageDescription &d, const QHash<QString, QString> &names)
{
    if (!d.Check_Atrybuty_Adresy || d.Lista_Uklad_Adresy.isEmpty())
        return;
    out << QString() << QStringLiteral("<!-- Sekcja adresów kontaktowych -->") << QStringLiteral("<HR>");
    QString address = QStringLiteral("<ADDRESS>");
    if (d.Check_Uklad_Adresy_Ikona)
        address += QStringLiteral("<IMG SRC=\"") + pageReference(d.Edit_Uklad_Adresy_Ikona, names)
                   + QStringLiteral("\" ALT=\"Napisz do mnie\"><BR>");
    out << address;
    for (const QString &a : d.Lista_Uklad_Adresy)
        out << QStringLiteral("<A HREF=\"mailto:") + a + QStringLiteral("\">") + a + QStringLiteral("</A><BR>");
    out << QStringLiteral("</ADDRESS>");
}

void addFooter(QStringList &out, const GeneratorContext &c)
{
    out << QString() << QStringLiteral("<!-- Koniec strony -->") << QStringLiteral("<BR><BR>");
    out << QStringLiteral("<P ALIGN=RIGHT><FONT SIZE=\"-2\">Strona utworzona dnia ") + footerDate(c.today, c.locale)
               + QStringLiteral("<BR>przy pomocy programu <STRONG><A HREF=") + q(MakerHomePage)
               + QStringLiteral(" TARGET=\"_top\">Zentarek Light</A></STRONG></FONT><BR>");
    if (c.badgeExists)
        out << QStringLiteral("<A HREF=") + q(MakerHomePage)
                   + QStringLiteral(" TARGET=\"_top\"><IMG SRC=\"zenanim.gif\" BORDER=\"0\"></A>");
    out << QStringLiteral("</P>\r\n</BODY>");
    out << QStringLiteral("</HTML>");
}

} // namespace

QString KolorNaHex(const QColor &color)
{
    return QStringLiteral("\"#%1\"").arg(color.rgb() & 0xFFFFFF, 6, 16, QChar(u'0')).toUpper();
}

QString creationStamp(const QDateTime &utc, const QLocale &locale)
{
    const QDateTime t = utc.toUTC();
    const QDate d = t.date();
    const QTime time = t.time();
    const QChar sep = timeSeparator(locale);
    return locale.dayName(d.dayOfWeek(), QLocale::ShortFormat) + QStringLiteral(", ") + two(d.day()) + u' '
           + locale.monthName(d.month(), QLocale::ShortFormat) + u' ' + QString::number(d.year()) + u' '
           + two(time.hour()) + sep + two(time.minute()) + sep + two(time.second());
}

QString footerDate(const QDate &date, const QLocale &locale)
{
    const QChar sep = dateSeparator(locale);
    return two(date.day()) + sep + two(date.month()) + sep + QStringLiteral("%1").arg(date.year(), 4, 10, QChar(u'0'));
}

QString escapeAttribute(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'"': out += QStringLiteral("&quot;"); break;
        case u'<': out += QStringLiteral("&lt;"); break;
        case u'>': out += QStringLiteral("&gt;"); break;
        case u'&': out += QStringLiteral("&amp;"); break;
        default: out += c;
        }
    }
    return out;
}

QString pageReference(const QString &reference, const QHash<QString, QString> &pageNames)
{
    const auto found = pageNames.constFind(reference.trimmed());
    if (found != pageNames.cend())
        return *found;
    return classifyReference(reference) == ReferenceKind::LocalPath ? fileNameOf(reference) : reference;
}

QString shortenAssetPaths(const QString &line, const QHash<QString, QString> &pageNames)
{
    QString result;
    qsizetype from = 0;
    for (const ReferenceSpan &span : referenceSpans(line)) {
        const QString value = line.mid(span.start, span.length);
        const QString name = pageReference(value, pageNames);
        if (name == value)
            continue;
        if (result.isEmpty())
            result.reserve(line.size());
        result += QStringView(line).mid(from, span.start - from);
        result += name;
        from = span.start + span.length;
    }
    if (from == 0)
        return line;
    result += QStringView(line).mid(from);
    return result;
}

bool isHtml5(const QString &docType)
{
    return docType.trimmed().compare(Html5DocType, Qt::CaseInsensitive) == 0;
}

QString docTypeNote(const QString &docType)
{
    if (isHtml5(docType))
        return QStringLiteral("HTML5: strona na dzisiejsze przeglądarki i telefony.");
    if (docType.trimmed().isEmpty())
        return QStringLiteral("Bez typu; na dzisiejsze telefony wybierz HTML5 (ostatni).");
    if (docType.contains(QLatin1String("DTD HTML"), Qt::CaseInsensitive))
        return QStringLiteral("Strona jak w 1998 r.; na dzisiejsze telefony wybierz HTML5 (ostatni).");
    return QStringLiteral("Własny typ, wpisany na początek strony; HTML5 to ostatni z listy.");
}

GeneratedPage Generuj_Strone(const PageDescription &d, const GeneratorContext &c)
{
    GeneratedPage page;
    if (isHtml5(d.Lista_Atrybuty_DocType)) {
        page.pageLines = html5Page(d, c, page.mainSectionLines);
        return page;
    }
    QStringList &out = page.pageLines;
    out.reserve(d.Edytorek.size() + 64);
    addHead(out, d, c);
    out << bodyLine(d, c.pageNames);
    if (d.Check_Play)
        out << soundLine(d, c.pageNames);
    if (d.Check_Atrybuty_Naglowki)
        addHeaderSection(out, d, c.pageNames);
    out << QString() << QStringLiteral("<!-- Główna sekcja strony -->");
    page.mainSectionLines.reserve(d.Edytorek.size());
    for (const QString &line : d.Edytorek)
        page.mainSectionLines << shortenAssetPaths(line, c.pageNames);
    out << page.mainSectionLines;
    addLinksSection(out, d, c.pageNames);
    addContactSection(out, d, c.pageNames);
    addFooter(out, c);
    return page;
}

} // namespace zk
