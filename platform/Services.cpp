#include "Services.h"

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace zk {

Services &services()
{
    static Services instance{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, systemAccountFullName};
    return instance;
}

QString systemAccountFullName()
{
#ifdef Q_OS_UNIX
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_gecos)
        return QString::fromLocal8Bit(pw->pw_gecos).section(u',', 0, 0).trimmed();
#endif
    return {};
}

} // namespace zk
