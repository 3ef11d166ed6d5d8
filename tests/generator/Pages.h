#pragma once

#include "PageGenerator.h"
#include "PageDescription.h"

#include <QTimeZone>

namespace zk::testing {

// The description as a fresh start fills it in.
inline PageDescription freshDescription(const QString &owner)
{
    PageDescription d;
    d.Lista_Atrybuty_DocType = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">");
    d.Panel_Podglad_Naglowki = QColor(0xC0, 0xC0, 0xC0);
    d.Edit_Atrybuty_Tytul = owner + QStringLiteral(" - Strona Domowa - Firmowa");
    d.Edit_Nazwa = QStringLiteral("index.html");
    d.Edit_Uklad_Glowny_Naglowek = owner;
    d.Edit_Uklad_Podtytul = QStringLiteral("Strona Domowa - Firmowa");
    d.Edit_Uklad_Naglowek_Odnosniki = QStringLiteral("Moje ulubione odnośniki");
    d.Grid_Uklad_Odnosniki = {LinkRow{}};
    return d;
}

inline GeneratorContext fixedContext(const QString &owner = QStringLiteral("Jan Kowalski"))
{
    GeneratorContext c;
    c.ownerName = owner;
    c.badgeExists = true;
    c.nowUtc = QDateTime(QDate(2026, 12, 8), QTime(13, 5, 9), QTimeZone::utc());
    c.today = QDate(2026, 12, 8);
    c.locale = QLocale::c();
    return c;
}

// The document of a fresh start, line by line, for the given creation-date line.
inline QStringList defaultDocument(const QString &creationLine, const QString &footerDate)
{
    return {
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Final//EN\">"),
        QStringLiteral("<HTML>"),
        QStringLiteral("<HEAD>"),
        QStringLiteral("<META HTTP-EQUIV=\"Content-type\" CONTENT=\"text/html; charset=iso-8859-2\">"),
        creationLine,
        QStringLiteral("<META NAME=\"Description\" CONTENT=\"Jan Kowalski - Strona Domowa - Firmowa\">"),
        QStringLiteral("<META NAME=\"Author\" CONTENT=\"Jan Kowalski\">"),
        QStringLiteral("<META NAME=\"Generator\" CONTENT=\"Zentarek Light\">"),
        QStringLiteral("<TITLE>Jan Kowalski - Strona Domowa - Firmowa</TITLE>"),
        QStringLiteral("</HEAD>"),
        QStringLiteral("<BODY TEXT=\"#000000\" LINK=\"#0000FF\" ALINK=\"#FF0000\" VLINK=\"#000080\">"),
        QString(),
        QStringLiteral("<!-- Sekcja nagłówków i obrazka tytułowego -->"),
        QStringLiteral("<H1 ALIGN=LEFT><FONT COLOR=\"#000000\">Jan Kowalski</FONT></H1>"),
        QStringLiteral("<H2 ALIGN=LEFT><FONT COLOR=\"#000000\">Strona Domowa - Firmowa</FONT></H2>"),
        QStringLiteral("<HR>"),
        QString(),
        QStringLiteral("<!-- Główna sekcja strony -->"),
        QString(),
        QStringLiteral("<!-- Koniec strony -->"),
        QStringLiteral("<BR><BR>"),
        QStringLiteral("<P ALIGN=RIGHT><FONT SIZE=\"-2\">Strona utworzona dnia ") + footerDate
            + QStringLiteral("<BR>przy pomocy programu <STRONG><A HREF=\"http://zentarek.quorvel.pl/\" "
                             "TARGET=\"_top\">Zentarek Light</A></STRONG></FONT><BR>"),
        QStringLiteral("<A HREF=\"http://zentarek.quorvel.pl/\" TARGET=\"_top\"><IMG SRC=\"zenanim.gif\" BORDER=\"0\"></A>"),
        QStringLiteral("</P>\r\n</BODY>"),
        QStringLiteral("</HTML>"),
    };
}

} // namespace zk::testing
