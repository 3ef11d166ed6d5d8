#pragma once

#include <QColor>
#include <QList>
#include <QToolButton>

class QFrame;

namespace zk {

// A button that drops down a palette of 20 colours (4 columns by 5 rows)
// with a further button that opens the full colour dialog. Each button
// keeps its own 16 custom-colour slots for that dialog.
class ColorPickerButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    static const QList<QColor> &paletteColors();

    explicit ColorPickerButton(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // Caption of the button under the palette ("&Inne" or "&Other").
    QString otherCaption() const { return m_otherCaption; }
    void setOtherCaption(const QString &caption) { m_otherCaption = caption; }

    const QList<QColor> &customColors() const { return m_customColors; }

    // The open palette, or nullptr.
    QFrame *paletteWindow() const { return m_palette; }
    void showPalette();
    void chooseOther();

signals:
    void colorChanged(const QColor &color);

private:
    void updateSwatch();
    QFrame *buildPalette();

    QColor m_color = Qt::black;
    QString m_otherCaption = QStringLiteral("&Inne");
    QList<QColor> m_customColors;
    QFrame *m_palette = nullptr;
};

} // namespace zk
