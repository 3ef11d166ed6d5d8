// One libFuzzer program per target: ZK_FUZZ_TARGET names it.
#include "FuzzTargets.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv); // the socket layer and Qt's text codecs want one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const zk::fuzz::Target target = [] {
        for (size_t i = 0; i < zk::fuzz::TargetCount; ++i)
            if (std::strcmp(zk::fuzz::Targets[i].name, ZK_FUZZ_TARGET) == 0)
                return zk::fuzz::Targets[i].run;
        std::abort();
    }();
    return target(data, size);
}
