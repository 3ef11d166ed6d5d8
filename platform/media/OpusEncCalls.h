#pragma once

// libopusenc's functions, called through a table filled when the first
// melody is recorded: the library (with libopus) is not loaded when the
// program starts. Included after its header; each name below then stands
// for its entry in the table.

#include <opusenc.h>

#include "LateLibrary.h"

#include <QString>

#define ZK_OPUSENC_FUNCTIONS(X) \
    X(ope_comments_add) X(ope_comments_create) X(ope_comments_destroy) X(ope_encoder_create_callbacks) \
    X(ope_encoder_ctl) X(ope_encoder_destroy) X(ope_encoder_drain) X(ope_encoder_write_float)

namespace zk {

struct OpusEnc {
    ZK_OPUSENC_FUNCTIONS(ZK_LATE_SLOT)
    QString problem; // empty once every function is there
};

// Opens the library on the first call.
const OpusEnc &opusEnc();

} // namespace zk

#ifndef ZK_OPUSENC_TABLE_ITSELF
#define ope_comments_add (::zk::opusEnc().ope_comments_add)
#define ope_comments_create (::zk::opusEnc().ope_comments_create)
#define ope_comments_destroy (::zk::opusEnc().ope_comments_destroy)
#define ope_encoder_create_callbacks (::zk::opusEnc().ope_encoder_create_callbacks)
#define ope_encoder_ctl (::zk::opusEnc().ope_encoder_ctl)
#define ope_encoder_destroy (::zk::opusEnc().ope_encoder_destroy)
#define ope_encoder_drain (::zk::opusEnc().ope_encoder_drain)
#define ope_encoder_write_float (::zk::opusEnc().ope_encoder_write_float)
#endif
