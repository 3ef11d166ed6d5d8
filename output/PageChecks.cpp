#include "PageChecks.h"

#include "Html5Page.h"
#include "MarkupCheck.h"
#include "PageGenerator.h"
#include "References.h"
#include "Themes.h"
#include "WebPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

namespace zk {

namespace {

constexpr double LeastContrast = 4.5;

QColor mixed(const QColor &top, const QColor &under, double share)
{
    return QColor::fromRgbF(float(top.redF() * share + under.redF() * (1 - share)),
                            float(top.greenF() * share + under.greenF() * (1 - share)),
                            float(top.blueF() * share + under.blueF() * (1 - share)));
}

// The ground the text lies on: the user's colour, else the look's; with a
// background picture, the sections let a little of its average through.
QColor groundOf(const PageDescription &d, const AssetPlan &plan, const Theme &theme)
{
    if (d.PopUp_Atrybuty_Tlo_Kolor)
        return isDefaultColour(d.Panel_Podglad_Naglowki, PageDescription().Panel_Podglad_Naglowki) ? theme.card : d.Panel_Podglad_Naglowki;
    const QColor average = averageColour(plan.sourceFor(pageReference(d.BackgroundImagePath, plan.pageNames)));
    return average.isValid() ? mixed(theme.card, average, 0.88) : theme.card;
}

QString ratioText(double ratio)
{
    return QLocale(QLocale::Polish).toString(std::floor(ratio * 100) / 100, 'f', 2) + QStringLiteral(":1");
}

void checkContrast(QStringList &out, const PageDescription &d, const AssetPlan &plan)
{
    const Theme &theme = themeById(d.Lista_Wyglad);
    const QColor ground = groundOf(d, plan, theme);
    const PageDescription fresh;
    const auto check = [&](const QString &what, const QColor &chosen, const QColor &fresh, const QColor &own) {
        const QColor colour = isDefaultColour(chosen, fresh) ? own : chosen;
        const double ratio = contrastRatio(colour, ground);
        if (ratio < LeastContrast)
            out << QStringLiteral("%1 (%2) na tle (%3) ma kontrast %4, a czytelny wymaga co najmniej 4,5:1.")
                       .arg(what, colour.name().toUpper(), ground.name().toUpper(), ratioText(ratio));
    };
    check(QStringLiteral("Tekst"), d.Przycisk_Atrybuty_Kolor_Tekst, fresh.Przycisk_Atrybuty_Kolor_Tekst, theme.text);
    check(QStringLiteral("Odnośniki"), d.Przycisk_Atrybuty_Kolor_Odnosniki, fresh.Przycisk_Atrybuty_Kolor_Odnosniki, theme.link);
}

// A relative reference of the main section names no file beside the page.
void checkRelativeFiles(QStringList &out, const PageDescription &d, const PageCheckContext &c)
{
    if (c.baseFolder.isEmpty())
        return;
    const QDir base(c.baseFolder);
    for (qsizetype i = 0; i < d.Edytorek.size(); ++i) {
        for (const QString &ref : referencesInLine(d.Edytorek[i])) {
            if (classifyReference(ref) != ReferenceKind::Relative)
                continue;
            const QString path = QDir::cleanPath(QUrl::fromPercentEncoding(splitReference(ref).path.toUtf8()));
            if (path.isEmpty() || path == u"." || path == c.pageName || QFileInfo::exists(base.filePath(path)))
                continue;
            out << QStringLiteral("Wiersz %1 głównej sekcji: nie ma pliku \"%2\" (w folderze \"%3\"), do którego prowadzi odnośnik "
                                  "lub obrazek.")
                       .arg(i + 1)
                       .arg(ref, QDir::toNativeSeparators(c.baseFolder));
        }
    }
}

qint64 pageWeight(const AssetPlan &plan, const QStringList &pageLines, const PageCheckContext &c)
{
    qint64 bytes = QFileInfo(c.badgeSourcePath).size();
    for (const QString &line : pageLines)
        bytes += line.toUtf8().size() + 2;
    for (const TravellingFile &f : plan.files)
        bytes += QFileInfo(f.source).size();
    return bytes;
}

} // namespace

QStringList pageCheckList(const PageDescription &d, const AssetPlan &plan, const QStringList &pageLines,
                          const PageCheckContext &c)
{
    QStringList out;
    if (d.Check_Atrybuty_Naglowki && d.Check_Uklad_Logo && d.Edit_Uklad_Logo.trimmed().isEmpty())
        out << QStringLiteral("Obrazek tytułowy jest włączony, ale nie wybrano pliku.");
    checkContrast(out, d, plan);
    for (const QString &missing : plan.missing)
        out << QStringLiteral("Nie ma pliku \"%1\", który strona pokazuje lub do którego prowadzi.").arg(missing);
    checkRelativeFiles(out, d, c);
    for (const MarkupProblem &p : markupProblems(d.Edytorek))
        out << QStringLiteral("Wiersz %1 głównej sekcji: %2.").arg(p.line).arg(p.text);
    const qint64 weight = pageWeight(plan, pageLines, c);
    if (weight > HeavyPageBytes)
        out << QStringLiteral("Strona z plikami waży %1 MB; na telefonie będzie się długo wczytywać (zalecane najwyżej 5 MB).")
                   .arg(QLocale(QLocale::Polish).toString(weight / 1048576.0, 'f', 1));
    return out;
}

QString checkListQuestion(const QStringList &findings)
{
    QStringList lines;
    for (const QString &f : findings)
        lines << QStringLiteral("• ") + f;
    return QStringLiteral("Na stronie warto poprawić:\n\n%1\n\nKontynuować mimo to? (\"Nie\" wraca do formularza)")
        .arg(lines.join(u'\n'));
}

} // namespace zk
