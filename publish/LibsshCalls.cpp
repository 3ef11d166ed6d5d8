#define ZK_LIBSSH_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "LibsshCalls.h"

#include "LateLibrary.h"

namespace zk::net {

const Libssh &libssh()
{
    static const Libssh table = [] {
        static LateLibrary library(QStringLiteral(ZK_LIBSSH_NAME), QStringLiteral(ZK_LIBSSH_VERSION));
        Libssh t;
#define ZK_LIBSSH_RESOLVE(name) library.resolve(t.name, #name);
        ZK_LIBSSH_FUNCTIONS(ZK_LIBSSH_RESOLVE)
#undef ZK_LIBSSH_RESOLVE
        t.problem = library.problem();
        return t;
    }();
    return table;
}

} // namespace zk::net
