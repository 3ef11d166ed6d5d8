#include "Glyphs.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QToolBar>
#include <QToolButton>

namespace zk {

QString shownCaption(const QString &caption)
{
    QString shown = caption;
    return shown.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
}

QPixmap resourcePixmap(const QString &path)
{
    // Told the format and not to guess: otherwise Qt loads every image
    // plug-in to ask whether it reads PNG better, which cost 1.8 ms of the start.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QIcon resourceIcon(const QString &path)
{
    return QIcon(resourcePixmap(path));
}

void LadujzRes(QAbstractButton *button, const QString &name)
{
    button->setIcon(resourceIcon(QStringLiteral(":/glyphs/%1.png").arg(name)));
    button->setIconSize(QSize(32, 32));
    button->setProperty("glyph", name);
    button->update();
}

QToolButton *makeGlyphButton(const QString &objectName, const QString &caption,
                             const QString &glyph, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    if (!glyph.isEmpty())
        LadujzRes(button, glyph);
    return button;
}

QToolBar *makeDockedToolBar(const QString &objectName, int width, QWidget *parent)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(objectName);
    bar->setOrientation(Qt::Vertical);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedWidth(width);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->toggleViewAction()->setEnabled(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    return bar;
}

void fitDockedToolBar(QToolBar *bar, int minimumWidth)
{
    const QList<QToolButton *> buttons = bar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly);
    int width = minimumWidth;
    for (QToolButton *b : buttons) {
        if (b->objectName() == QLatin1String("qt_toolbar_ext_button"))
            continue;
        const QString caption = shownCaption(b->text());
        // The caption with a few pixels either side; a menu arrow takes its own room.
        const int arrow = b->popupMode() == QToolButton::InstantPopup ? b->fontMetrics().height() / 2 : 0;
        width = qMax(width, b->fontMetrics().horizontalAdvance(caption) + 8 + arrow);
    }
    for (QToolButton *b : buttons)
        if (b->objectName() != QLatin1String("qt_toolbar_ext_button"))
            b->setFixedWidth(width);
    bar->setFixedWidth(width + bar->width() - minimumWidth);
}

} // namespace zk
