#define ZK_OPUSENC_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "OpusEncCalls.h"

#include "LateLibrary.h"

namespace zk {

const OpusEnc &opusEnc()
{
    static const OpusEnc table = [] {
        static LateLibrary library(QStringLiteral(ZK_OPUSENC_NAME), QStringLiteral(ZK_OPUSENC_VERSION));
        OpusEnc t;
#define ZK_OPUSENC_RESOLVE(name) library.resolve(t.name, #name);
        ZK_OPUSENC_FUNCTIONS(ZK_OPUSENC_RESOLVE)
#undef ZK_OPUSENC_RESOLVE
        t.problem = library.problem();
        return t;
    }();
    return table;
}

} // namespace zk
