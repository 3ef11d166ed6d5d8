#pragma once

#include <QString>

namespace zk {

// The per-user key under which the program keeps its settings.
inline const QString SettingsRootKey = QStringLiteral("\\Software\\Quorvel Software\\Zentarek\\Light");

} // namespace zk
