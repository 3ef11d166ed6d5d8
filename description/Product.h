#pragma once

#include <QString>

namespace zk {

// The maker's home page: the On-Line button opens it, and every page's
// footer and badge link to it.
inline const QString MakerHomePage = QStringLiteral("http://zentarek.quorvel.pl/");

} // namespace zk
