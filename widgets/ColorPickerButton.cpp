#include "ColorPickerButton.h"

#include "Prompts.h"
#include "Services.h"

#include <QFrame>
#include <QGridLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace zk {

const QList<QColor> &ColorPickerButton::paletteColors()
{
    static const QList<QColor> colors = [] {
        QList<QColor> out;
        for (const char *hex : {"#FFFFFF", "#FF0000", "#00FF00", "#0000FF", "#BFD7BF",
                                "#000000", "#7F0000", "#007F00", "#00007F", "#9FBFEF",
                                "#BFBFBF", "#FFFF00", "#00FFFF", "#FF00FF", "#FFF7EF",
                                "#7F7F7F", "#7F7F00", "#007F7F", "#7F007F", "#9F9F9F"})
            out << QColor(QString::fromLatin1(hex));
        return out;
    }();
    return colors;
}

ColorPickerButton::ColorPickerButton(QWidget *parent) : QToolButton(parent)
{
    for (int i = 0; i < 16; ++i)
        m_customColors << QColor(Qt::white);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(24, 12));
    connect(this, &QToolButton::clicked, this, &ColorPickerButton::showPalette);
    updateSwatch();
}

void ColorPickerButton::setColor(const QColor &color)
{
    if (color.rgb() == m_color.rgb())
        return;
    m_color = color;
    updateSwatch();
    emit colorChanged(m_color);
}

void ColorPickerButton::updateSwatch()
{
    QPixmap swatch(iconSize());
    swatch.fill(m_color);
    QPainter p(&swatch);
    p.setPen(Qt::black);
    p.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    p.end();
    setIcon(QIcon(swatch));
}

QFrame *ColorPickerButton::buildPalette()
{
    auto *frame = new QFrame(this, Qt::Popup);
    frame->setObjectName(QStringLiteral("PaletteWindow"));
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *grid = new QGridLayout;
    grid->setSpacing(2);
    const QList<QColor> &colors = paletteColors();
    for (int i = 0; i < colors.size(); ++i) {
        auto *cell = new QToolButton(frame);
        cell->setObjectName(QStringLiteral("Kolor_%1").arg(i));
        cell->setFixedSize(20, 20);
        cell->setToolTip(colors.at(i).name().toUpper());
        cell->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: 1px solid #404040; }")
                                .arg(colors.at(i).name()));
        const QColor c = colors.at(i);
        connect(cell, &QToolButton::clicked, frame, [this, frame, c] {
            frame->close();
            setColor(c);
        });
        grid->addWidget(cell, i / 4, i % 4);
    }
    layout->addLayout(grid);
    auto *other = new QPushButton(m_otherCaption, frame);
    other->setObjectName(QStringLiteral("Przycisk_Inne"));
    connect(other, &QPushButton::clicked, this, [this, frame] {
        frame->close();
        chooseOther();
    });
    layout->addWidget(other);
    return frame;
}

void ColorPickerButton::showPalette()
{
    if (m_palette)
        return;
    m_palette = buildPalette();
    connect(m_palette, &QObject::destroyed, this, [this] { m_palette = nullptr; });
    m_palette->adjustSize();
    m_palette->move(mapToGlobal(QPoint(0, height())));
    m_palette->show();
}

void ColorPickerButton::chooseOther()
{
    ColorRequest request{m_color, m_customColors, true, false};
    const auto chosen = services().prompts->chooseColor(request, this);
    m_customColors = request.customColors;
    if (chosen)
        setColor(*chosen);
}

} // namespace zk
