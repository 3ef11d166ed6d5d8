#define ZK_OPENSSL_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "OpenSslCalls.h"

namespace zk::net {

const OpenSsl &openSsl()
{
    ZK_LATE_TABLE_BODY(OpenSsl, ZK_OPENSSL_FUNCTIONS, QStringLiteral(ZK_OPENSSL_NAME), QStringLiteral(ZK_OPENSSL_VERSION))
}

} // namespace zk::net
