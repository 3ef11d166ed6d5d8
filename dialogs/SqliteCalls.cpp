#define ZK_SQLITE_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "SqliteCalls.h"

namespace zk {

const Sqlite &sqlite()
{
    ZK_LATE_TABLE_BODY(Sqlite, ZK_SQLITE_FUNCTIONS, QStringLiteral(ZK_SQLITE_NAME), QStringLiteral(ZK_SQLITE_VERSION))
}

} // namespace zk
