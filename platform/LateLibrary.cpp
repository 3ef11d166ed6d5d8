#include "LateLibrary.h"

namespace zk {

LateLibrary::LateLibrary(const QString &name, const QString &version)
    : m_library(name, version), m_file(QStringLiteral("lib%1.so.%2").arg(name, version))
{
    m_opened = m_library.load();
}

LateLibrary::LateLibrary(const QString &path) : m_library(path), m_file(path)
{
    m_opened = m_library.load();
}

QString LateLibrary::problem() const
{
    if (!m_opened)
        return QStringLiteral("nie można wczytać biblioteki \"%1\" (nie jest zainstalowana albo jest uszkodzona)").arg(m_file);
    if (!m_missing.isEmpty())
        return QStringLiteral("biblioteka \"%1\" nie ma funkcji %2 (to inna jej wersja niż ta, z którą zbudowano program)")
            .arg(m_file, m_missing.join(QStringLiteral(", ")));
    return {};
}

} // namespace zk
