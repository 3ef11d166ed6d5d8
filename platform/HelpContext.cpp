#include "HelpViewer.h"

#include <QObject>
#include <QVariant>

namespace zk {

static const char *const kHelpContext = "helpContext";

void setHelpContext(QObject *object, int context)
{
    object->setProperty(kHelpContext, context);
}

int helpContextOf(const QObject *object)
{
    for (const QObject *o = object; o; o = o->parent()) {
        const int n = o->property(kHelpContext).toInt();
        if (n > 0)
            return n;
    }
    return 0;
}

} // namespace zk
