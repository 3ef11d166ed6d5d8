#define ZK_OPUSENC_TABLE_ITSELF // the names below are the table's, not the calls through it
#include "OpusEncCalls.h"

namespace zk {

const OpusEnc &opusEnc()
{
    ZK_LATE_TABLE_BODY(OpusEnc, ZK_OPUSENC_FUNCTIONS, QStringLiteral(ZK_OPUSENC_NAME), QStringLiteral(ZK_OPUSENC_VERSION))
}

} // namespace zk
