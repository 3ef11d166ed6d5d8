#include "FluidSynthLibrary.h"

#include <QLibrary>

#include <type_traits>

namespace zk {

namespace {

FluidSynth load()
{
    FluidSynth f;
    QLibrary lib(QStringLiteral("fluidsynth"), 3);
    if (!lib.load())
        return f;
    bool all = true;
    const auto resolve = [&](auto &fn, const char *name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(lib.resolve(name));
        all = all && fn;
    };
#define ZK_RESOLVE(name) resolve(f.name, #name);
    ZK_FLUID_FUNCTIONS(ZK_RESOLVE)
#undef ZK_RESOLVE
    f.loaded = all;
    return f;
}

} // namespace

const FluidSynth &FluidSynth::get()
{
    static const FluidSynth instance = load();
    return instance;
}

} // namespace zk
