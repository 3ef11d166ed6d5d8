#include "ProgramStyle.h"

#include "Glyphs.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QStyleOption>
#include <qdrawutil.h>

namespace zk {

namespace {
const QString QtPictures = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");
}

bool ProgramStyle::isFusion() const
{
    return baseStyle()->name().compare(u"fusion", Qt::CaseInsensitive) == 0;
}

QIcon ProgramStyle::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    const Qt::LayoutDirection direction = option ? option->direction
                                          : widget ? widget->layoutDirection()
                                                   : QGuiApplication::layoutDirection();
    const char *kind = icon == SP_ToolBarVerticalExtensionButton ? "v"
                       : icon == SP_ToolBarHorizontalExtensionButton && direction == Qt::LeftToRight ? "h"
                                                                                                      : nullptr;
    if (!kind || !isFusion())
        return QProxyStyle::standardIcon(icon, option, widget);
    QIcon result;
    for (int size : *kind == 'v' ? QList<int>{5, 10, 20} : QList<int>{8, 16, 32}) {
        const QPixmap picture = resourcePixmap(QtPictures + QStringLiteral("toolbar-ext-%1-%2.png").arg(QLatin1String(kind)).arg(size));
        if (!picture.isNull())
            result.addPixmap(picture);
    }
    return result.isNull() ? QProxyStyle::standardIcon(icon, option, widget) : result;
}

void ProgramStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    if (element == PE_FrameGroupBox && isFusion())
        drawGroupBoxFrame(option, painter, widget);
    else
        QProxyStyle::drawPrimitive(element, option, painter, widget);
}

// Fusion's frame, pixel for pixel: its nine-part picture under the title.
void ProgramStyle::drawGroupBoxFrame(const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    if (m_groupBoxFrame.isNull())
        m_groupBoxFrame = resourcePixmap(QtPictures + QStringLiteral("fusion_groupbox.png"));
    if (m_groupBoxFrame.isNull()) {
        QProxyStyle::drawPrimitive(PE_FrameGroupBox, option, painter, widget);
        return;
    }
    constexpr int TopMargin = 3;
    const auto *box = qobject_cast<const QGroupBox *>(widget);
    const bool titled = !box || box->isCheckable() || !box->title().isEmpty();
    const int top = TopMargin + (titled ? qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height()) : 0);
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), m_groupBoxFrame);
}

} // namespace zk
