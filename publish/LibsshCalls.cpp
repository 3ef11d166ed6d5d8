#define ZK_LIBSSH_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "LibsshCalls.h"

namespace zk::net {

const Libssh &libssh()
{
    ZK_LATE_TABLE_BODY(Libssh, ZK_LIBSSH_FUNCTIONS, QStringLiteral(ZK_LIBSSH_NAME), QStringLiteral(ZK_LIBSSH_VERSION))
}

} // namespace zk::net
