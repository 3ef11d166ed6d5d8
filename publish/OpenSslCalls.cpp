#define ZK_OPENSSL_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "OpenSslCalls.h"

#include "LateLibrary.h"

namespace zk::net {

const OpenSsl &openSsl()
{
    static const OpenSsl table = [] {
        static LateLibrary library(QStringLiteral(ZK_OPENSSL_NAME), QStringLiteral(ZK_OPENSSL_VERSION));
        OpenSsl t;
#define ZK_OPENSSL_RESOLVE(name) library.resolve(t.name, #name);
        ZK_OPENSSL_FUNCTIONS(ZK_OPENSSL_RESOLVE)
#undef ZK_OPENSSL_RESOLVE
        t.problem = library.problem();
        return t;
    }();
    return table;
}

} // namespace zk::net
