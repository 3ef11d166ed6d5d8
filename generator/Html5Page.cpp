#include "Html5Page.h"

#include "Encoding.h"
#include "Product.h"
#include "References.h"
#include "Themes.h"

#include <QRegularExpression>
#include <QUrl>

namespace zk {

namespace {

QString attr(const QString &name, const QString &value)
{
    return u' ' + name + QStringLiteral("=\"") + escapeAttribute(value) + u'"';
}

QString cssColour(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

// A file name inside a CSS string: nothing in it may end the string or the
// style element.
QString cssString(const QString &text)
{
    QString out;
    for (QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c == u'<')
            out += QStringLiteral("\\3c ");
        else if (c == u'\n' || c == u'\r')
            out += QStringLiteral("\\a ");
        else
            out += c;
    }
    return u'"' + out + u'"';
}

QString alignmentClass(Alignment a)
{
    switch (a) {
    case Alignment::Center: return QStringLiteral("do-srodka");
    case Alignment::Right: return QStringLiteral("do-prawej");
    case Alignment::Left: break;
    }
    return {};
}

QString classes(const QStringList &names)
{
    QStringList used;
    for (const QString &n : names)
        if (!n.isEmpty())
            used << n;
    return used.isEmpty() ? QString() : attr(QStringLiteral("class"), used.join(u' '));
}

// The user's own colours, where they differ from a fresh page's, replace
// the look's; the background picture lies under the page.
struct UserStyle {
    QStringList variables;
    bool ownColours = false;
    bool picture = false;
};

UserStyle userStyle(const PageDescription &d, const QHash<QString, QString> &names)
{
    UserStyle s;
    const PageDescription fresh;
    const auto colour = [&](const char *variable, const QColor &chosen, const QColor &fresh, bool pageColour) {
        if (isDefaultColour(chosen, fresh))
            return;
        s.variables << QStringLiteral("--%1: %2;").arg(QLatin1String(variable), cssColour(chosen));
        s.ownColours = s.ownColours || pageColour;
    };
    colour("tekst", d.Przycisk_Atrybuty_Kolor_Tekst, fresh.Przycisk_Atrybuty_Kolor_Tekst, true);
    colour("odnosniki", d.Przycisk_Atrybuty_Kolor_Odnosniki, fresh.Przycisk_Atrybuty_Kolor_Odnosniki, true);
    colour("aktywne", d.Przycisk_Atrybuty_Kolor_Aktywne, fresh.Przycisk_Atrybuty_Kolor_Aktywne, true);
    colour("odwiedzone", d.Przycisk_Atrybuty_Kolor_Odwiedzone, fresh.Przycisk_Atrybuty_Kolor_Odwiedzone, true);
    if (d.PopUp_Atrybuty_Tlo_Kolor) {
        colour("tlo", d.Panel_Podglad_Naglowki, fresh.Panel_Podglad_Naglowki, true);
        colour("karta", d.Panel_Podglad_Naglowki, fresh.Panel_Podglad_Naglowki, true);
    } else if (!d.BackgroundImagePath.trimmed().isEmpty()) {
        s.variables << QStringLiteral("--tlo-obraz: url(%1);").arg(cssString(pageReference(d.BackgroundImagePath, names)));
        s.picture = true;
    }
    colour("naglowek", d.Przycisk_Uklad_Naglowek_Kolor, fresh.Przycisk_Uklad_Naglowek_Kolor, false);
    colour("podtytul", d.Przycisk_Uklad_Podtytul_Kolor, fresh.Przycisk_Uklad_Podtytul_Kolor, false);
    colour("naglowek-odnosnikow", d.Przycisk_Uklad_Naglowek_Odnosniki_Kolor, fresh.Przycisk_Uklad_Naglowek_Odnosniki_Kolor, false);
    return s;
}

QString sizeAttributes(const QString &name, const GeneratorContext &c)
{
    const QSize size = c.pictureSizes.value(name);
    if (size.isEmpty())
        return {};
    return QStringLiteral(" width=\"%1\" height=\"%2\"").arg(size.width()).arg(size.height());
}

QString offeredAsWebp(const QString &img, const QString &webp)
{
    if (webp.isEmpty())
        return img;
    return QStringLiteral("<picture><source type=\"image/webp\"") + attr(QStringLiteral("srcset"), webp) + u'>' + img
           + QStringLiteral("</picture>");
}

QString picture(const QString &reference, const QString &alt, const QString &extra, const GeneratorContext &c)
{
    const QString name = pageReference(reference, c.pageNames);
    return offeredAsWebp(QStringLiteral("<img") + attr(QStringLiteral("src"), name) + attr(QStringLiteral("alt"), alt)
                             + sizeAttributes(name, c) + extra + u'>',
                         c.webpNames.value(name));
}

QString plainText(const QString &html)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    return QString(html).remove(tags).simplified();
}

QString absolute(const QString &base, const QString &name)
{
    if (base.isEmpty() || classifyReference(name) == ReferenceKind::Address)
        return name;
    return QUrl(base).resolved(QUrl(name)).toString(QUrl::FullyEncoded);
}

void addHead(QStringList &out, const PageDescription &d, const GeneratorContext &c, const UserStyle &style)
{
    out << Html5DocType;
    out << QStringLiteral("<html lang=\"pl\"%1>").arg(style.ownColours ? QStringLiteral(" class=\"wlasne-kolory\"") : QString());
    out << QStringLiteral("<head>");
    const QString charset = charsetName(d.PageEncoding);
    out << QStringLiteral("<meta charset=\"%1\">").arg(charset);
    out << QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    out << QStringLiteral("<title>") + d.Edit_Atrybuty_Tytul + QStringLiteral("</title>");
    const QString title = plainText(d.Edit_Atrybuty_Tytul);
    const QString description = d.Edit_Opis_Strony.simplified().isEmpty() ? title : d.Edit_Opis_Strony.simplified();
    if (!description.isEmpty())
        out << QStringLiteral("<meta name=\"description\"") + attr(QStringLiteral("content"), description) + u'>';
    if (!d.Lista_Atrybuty_Slowa_Kluczowe.isEmpty())
        out << QStringLiteral("<meta name=\"keywords\"")
                   + attr(QStringLiteral("content"), d.Lista_Atrybuty_Slowa_Kluczowe.join(QStringLiteral(", "))) + u'>';
    out << QStringLiteral("<meta name=\"author\"") + attr(QStringLiteral("content"), c.ownerName) + u'>';
    out << QStringLiteral("<meta name=\"generator\" content=\"Zentarek Light\">");
    if (!d.Edit_Atrybuty_Dokument_Bazowy.isEmpty())
        out << QStringLiteral("<base") + attr(QStringLiteral("href"), d.Edit_Atrybuty_Dokument_Bazowy) + u'>';

    const QString web = pageWebAddress(d);
    const QString pageName = c.pageName.isEmpty() ? QStringLiteral("index.html") : c.pageName;
    const QString canonical = web.isEmpty() ? QString()
                              : pageName.compare(QStringLiteral("index.html"), Qt::CaseInsensitive) == 0
                                  ? web
                                  : absolute(web, pageName);
    if (!canonical.isEmpty())
        out << QStringLiteral("<link rel=\"canonical\"") + attr(QStringLiteral("href"), canonical) + u'>';
    out << QStringLiteral("<meta property=\"og:type\" content=\"website\">");
    out << QStringLiteral("<meta property=\"og:locale\" content=\"pl_PL\">");
    if (!title.isEmpty())
        out << QStringLiteral("<meta property=\"og:title\"") + attr(QStringLiteral("content"), title) + u'>';
    if (!description.isEmpty())
        out << QStringLiteral("<meta property=\"og:description\"") + attr(QStringLiteral("content"), description) + u'>';
    if (!canonical.isEmpty())
        out << QStringLiteral("<meta property=\"og:url\"") + attr(QStringLiteral("content"), canonical) + u'>';
    if (d.Check_Atrybuty_Naglowki && d.Check_Uklad_Logo && !d.Edit_Uklad_Logo.trimmed().isEmpty())
        out << QStringLiteral("<meta property=\"og:image\"")
                   + attr(QStringLiteral("content"), absolute(web, pageReference(d.Edit_Uklad_Logo, c.pageNames))) + u'>';
    if (c.pageIcons) {
        out << QStringLiteral("<link rel=\"icon\" type=\"image/png\" sizes=\"32x32\"") + attr(QStringLiteral("href"), FaviconName) + u'>';
        out << QStringLiteral("<link rel=\"apple-touch-icon\" sizes=\"180x180\"") + attr(QStringLiteral("href"), TouchIconName) + u'>';
    }
    out << QStringLiteral("<link rel=\"stylesheet\"") + attr(QStringLiteral("href"), themeFileName(d.Lista_Wyglad)) + u'>';
    if (!style.variables.isEmpty()) {
        out << QStringLiteral("<style>") << QStringLiteral(":root { ") + style.variables.join(u' ') + QStringLiteral(" }");
        if (style.picture) // the picture shows through the sections a little
            out << QStringLiteral("body > * { background-color: color-mix(in srgb, var(--karta) 88%, transparent); }");
        out << QStringLiteral("</style>");
    }
    out << QStringLiteral("</head>") << QStringLiteral("<body>");
}

QString soundLine(const PageDescription &d, const GeneratorContext &c)
{
    QString repeat;
    if (d.Check_Infinite)
        repeat = QStringLiteral(" loop");
    else if (d.Spin_Powtorz > 1)
        repeat = QStringLiteral(" data-razy=\"%1\" onended=\"if (--this.dataset.razy > 0) this.play()\"").arg(d.Spin_Powtorz);
    return QStringLiteral("<p class=\"dzwiek\"><span id=\"dzwiek-opis\">Podkład dźwiękowy strony</span><audio")
           + attr(QStringLiteral("src"), pageReference(d.Edit_Src, c.pageNames))
           + QStringLiteral(" controls preload=\"metadata\" aria-labelledby=\"dzwiek-opis\"") + repeat
           + QStringLiteral("></audio></p>");
}

void addHeader(QStringList &out, const PageDescription &d, const GeneratorContext &c)
{
    const bool headers = d.Check_Atrybuty_Naglowki;
    const bool logo = headers && d.Check_Uklad_Logo;
    const bool title = headers && !d.Edit_Uklad_Glowny_Naglowek.isEmpty();
    const bool subtitle = headers && !d.Edit_Uklad_Podtytul.isEmpty();
    if (!title && !logo && !subtitle && !d.Check_Play)
        return;
    out << QString() << QStringLiteral("<!-- Sekcja nagłówków i obrazka tytułowego -->");
    out << QStringLiteral("<header") + classes({headers && d.Check_Uklad_Naglowek_Kreska ? QStringLiteral("kreska") : QString()})
               + u'>';
    if (title)
        out << QStringLiteral("<h1") + classes({alignmentClass(d.headerAlignment)}) + u'>' + d.Edit_Uklad_Glowny_Naglowek
                   + QStringLiteral("</h1>");
    if (logo) {
        const QString heading = plainText(d.Edit_Uklad_Glowny_Naglowek);
        const QString alt = heading.isEmpty() ? QStringLiteral("Obrazek tytułowy") : QStringLiteral("Logo: ") + heading;
        out << picture(d.Edit_Uklad_Logo, alt, QStringLiteral(" class=\"logo\" fetchpriority=\"high\""), c);
    }
    if (subtitle)
        out << QStringLiteral("<p") + classes({QStringLiteral("podtytul"), alignmentClass(d.subtitleAlignment)}) + u'>'
                   + d.Edit_Uklad_Podtytul + QStringLiteral("</p>");
    if (d.Check_Play)
        out << soundLine(d, c);
    out << QStringLiteral("</header>");
}

void addMain(QStringList &out, const PageDescription &d, const GeneratorContext &c, QStringList &mainLines)
{
    out << QString() << QStringLiteral("<!-- Główna sekcja strony -->") << QStringLiteral("<main id=\"tresc-strony\">");
    // The first picture of a page without a logo is on its first screen; the rest wait until they are near.
    bool lazy = d.Check_Atrybuty_Naglowki && d.Check_Uklad_Logo;
    static const QRegularExpression img(QStringLiteral("<img\\b"), QRegularExpression::CaseInsensitiveOption);
    mainLines.reserve(d.Edytorek.size());
    for (const QString &line : d.Edytorek) {
        QString shown = shortenAssetPaths(line, c.pageNames);
        mainLines << shown;
        if (line.contains(img)) {
            shown = webImageTags(shown, c.pictureSizes, c.webpNames, lazy);
            lazy = true;
        }
        shown = focusableTables(shown);
        out << shown;
    }
    out << QStringLiteral("</main>");
}

void addLinks(QStringList &out, const PageDescription &d, const GeneratorContext &c)
{
    if (!d.Check_Atrybuty_Odnosniki || d.Grid_Uklad_Odnosniki.isEmpty() || d.Grid_Uklad_Odnosniki.first().name.isEmpty())
        return;
    out << QString() << QStringLiteral("<!-- Sekcja ulubionych odnośników -->");
    if (d.Edit_Uklad_Naglowek_Odnosniki.isEmpty()) {
        out << QStringLiteral("<nav aria-label=\"Ulubione odnośniki\">");
    } else {
        out << QStringLiteral("<nav aria-labelledby=\"odnosniki-tytul\">");
        out << QStringLiteral("<h2 id=\"odnosniki-tytul\"") + classes({alignmentClass(d.linksHeadingAlignment)}) + u'>'
                   + d.Edit_Uklad_Naglowek_Odnosniki + QStringLiteral("</h2>");
    }
    // The icon only decorates the link's own name.
    const QString icon = d.Check_Uklad_Odnosniki_Ikona
                             ? picture(d.Edit_Uklad_Odnosniki_Ikonka, QString(), QStringLiteral(" loading=\"lazy\""), c)
                             : QString();
    out << QStringLiteral("<ul>");
    for (const LinkRow &row : d.Grid_Uklad_Odnosniki)
        out << QStringLiteral("<li><a") + attr(QStringLiteral("href"), row.address) + u'>' + icon + row.name
                   + QStringLiteral("</a></li>");
    out << QStringLiteral("</ul>") << QStringLiteral("</nav>");
}

void addContact(QStringList &out, const PageDescription &d, const GeneratorContext &c)
{
    if (!d.Check_Atrybuty_Adresy || d.Lista_Uklad_Adresy.isEmpty())
        return;
    out << QString() << QStringLiteral("<!-- Sekcja adresów kontaktowych -->");
    out << QStringLiteral("<aside aria-label=\"Kontakt\">") << QStringLiteral("<address>");
    if (d.Check_Uklad_Adresy_Ikona)
        out << picture(d.Edit_Uklad_Adresy_Ikona, QStringLiteral("Napisz do mnie"),
                       QStringLiteral(" class=\"ikona\" loading=\"lazy\""), c);
    out << QStringLiteral("<ul>");
    for (const QString &a : d.Lista_Uklad_Adresy)
        out << QStringLiteral("<li><a") + attr(QStringLiteral("href"), QStringLiteral("mailto:") + a) + u'>' + a.toHtmlEscaped()
                   + QStringLiteral("</a></li>");
    out << QStringLiteral("</ul>") << QStringLiteral("</address>") << QStringLiteral("</aside>");
}

void addFooter(QStringList &out, const GeneratorContext &c)
{
    out << QString() << QStringLiteral("<!-- Koniec strony -->") << QStringLiteral("<footer>");
    out << QStringLiteral("<p>Strona utworzona dnia ") + footerDate(c.today, c.locale)
               + QStringLiteral(" przy pomocy programu <a") + attr(QStringLiteral("href"), MakerHomePage)
               + QStringLiteral(">Zentarek Light</a></p>");
    if (c.badgeExists)
        out << QStringLiteral("<a class=\"znaczek\"") + attr(QStringLiteral("href"), MakerHomePage)
                   + QStringLiteral("><img src=\"zenanim.gif\" alt=\"Zentarek Light\"")
                   + (c.badgeSize.isEmpty() ? QString()
                                            : QStringLiteral(" width=\"%1\" height=\"%2\"").arg(c.badgeSize.width()).arg(c.badgeSize.height()))
                   + QStringLiteral(" loading=\"lazy\"></a>");
    out << QStringLiteral("</footer>") << QStringLiteral("</body>") << QStringLiteral("</html>");
}

} // namespace

bool isDefaultColour(const QColor &colour, const QColor &fresh)
{
    return (colour.rgb() & 0xFFFFFF) == (fresh.rgb() & 0xFFFFFF);
}

QString pageWebAddress(const PageDescription &d)
{
    const QUrl url(d.Edit_Adres_Strony.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http") || url.host().isEmpty())
        return {};
    QString path = url.path();
    if (!path.endsWith(u'/'))
        path = path.section(u'/', 0, -2) + u'/'; // a page's own name is not its folder
    QUrl folder = url;
    folder.setPath(path);
    folder.setQuery(QString());
    folder.setFragment(QString());
    return folder.toString(QUrl::FullyEncoded);
}

QString webImageTags(const QString &line, const QHash<QString, QSize> &sizes, const QHash<QString, QString> &webp, bool lazy)
{
    static const QRegularExpression tag(QStringLiteral("<img\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression src(QStringLiteral("\\ssrc\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression width(QStringLiteral("\\swidth\\s*=\\s*[\"']?(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression height(QStringLiteral("\\sheight\\s*=\\s*[\"']?(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression loading(QStringLiteral("\\sloading\\s*="), QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    for (auto tags = tag.globalMatch(line); tags.hasNext();) {
        const QRegularExpressionMatch t = tags.next();
        QString text = t.captured();
        const QRegularExpressionMatch s = src.match(text);
        const QString name = s.hasMatch() ? s.captured(1) + s.captured(2) + s.captured(3) : QString();
        const QSize size = sizes.value(name);
        QString added;
        const QRegularExpressionMatch w = width.match(text);
        const QRegularExpressionMatch h = height.match(text);
        if (!size.isEmpty() && !w.hasMatch() && !h.hasMatch())
            added += QStringLiteral(" width=\"%1\" height=\"%2\"").arg(size.width()).arg(size.height());
        else if (!size.isEmpty() && w.hasMatch() && !h.hasMatch())
            added += QStringLiteral(" height=\"%1\"").arg(qRound(w.captured(1).toDouble() * size.height() / size.width()));
        else if (!size.isEmpty() && h.hasMatch() && !w.hasMatch())
            added += QStringLiteral(" width=\"%1\"").arg(qRound(h.captured(1).toDouble() * size.width() / size.height()));
        if (lazy && !text.contains(loading))
            added += QStringLiteral(" loading=\"lazy\"");
        const QString webpName = webp.value(name);
        if (added.isEmpty() && webpName.isEmpty())
            continue;
        const qsizetype end = text.endsWith(QStringLiteral("/>")) ? text.size() - 2 : text.size() - 1;
        text.insert(end, added);
        out += QStringView(line).mid(from, t.capturedStart() - from);
        out += offeredAsWebp(text, webpName);
        from = t.capturedEnd();
    }
    if (from == 0)
        return line;
    out += QStringView(line).mid(from);
    return out;
}

QString focusableTables(const QString &line)
{
    static const QRegularExpression tag(QStringLiteral("<table\\b([^>]*)>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tabindex(QStringLiteral("\\stabindex\\s*="), QRegularExpression::CaseInsensitiveOption);
    if (!line.contains(QLatin1String("<table"), Qt::CaseInsensitive))
        return line;
    QList<qsizetype> ends;
    for (auto it = tag.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).contains(tabindex))
            ends << m.capturedEnd() - 1;
    }
    QString out = line;
    for (auto end = ends.crbegin(); end != ends.crend(); ++end) // from the back, so the earlier places stay
        out.insert(*end, QStringLiteral(" tabindex=\"0\""));
    return out;
}

QStringList html5Page(const PageDescription &d, const GeneratorContext &c, QStringList &mainLines)
{
    QStringList out;
    out.reserve(d.Edytorek.size() + 64);
    addHead(out, d, c, userStyle(d, c.pageNames));
    addHeader(out, d, c);
    addMain(out, d, c, mainLines);
    addLinks(out, d, c);
    addContact(out, d, c);
    addFooter(out, c);
    return out;
}

} // namespace zk
