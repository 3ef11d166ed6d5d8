#define ZK_SQLITE_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "SqliteCalls.h"

#include "LateLibrary.h"

namespace zk {

const Sqlite &sqlite()
{
    static const Sqlite table = [] {
        static LateLibrary library(QStringLiteral(ZK_SQLITE_NAME), QStringLiteral(ZK_SQLITE_VERSION));
        Sqlite t;
#define ZK_SQLITE_RESOLVE(name) library.resolve(t.name, #name);
        ZK_SQLITE_FUNCTIONS(ZK_SQLITE_RESOLVE)
#undef ZK_SQLITE_RESOLVE
        t.problem = library.problem();
        return t;
    }();
    return table;
}

} // namespace zk
