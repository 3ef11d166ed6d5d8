#pragma once

#include <QPixmap>
#include <QProxyStyle>

namespace zk {

// The desktop's style, drawn without asking every image plug-in: Fusion
// reads its group-box frame and toolbar arrows through Qt's format guessing,
// which loads all nine plug-ins (2 ms of the start, before the first paint).
// Here the same pictures are read as the PNG files they are.
class ProgramStyle : public QProxyStyle {
public:
    // Over `base`, or over the style the desktop or "-style" chose.
    explicit ProgramStyle(QStyle *base = nullptr) : QProxyStyle(base) {}

    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

private:
    bool isFusion() const;
    void drawGroupBoxFrame(const QStyleOption *option, QPainter *painter, const QWidget *widget) const;

    mutable QPixmap m_groupBoxFrame;
};

} // namespace zk
