#pragma once

#include <fluidsynth.h>

namespace zk {

// Every FluidSynth function the program calls.
#define ZK_FLUID_FUNCTIONS(X)                                                                                          \
    X(new_fluid_settings) X(fluid_settings_setstr) X(fluid_settings_setint) X(fluid_settings_setnum)                   \
    X(new_fluid_synth) X(fluid_synth_sfload) X(new_fluid_player) X(fluid_player_add) X(fluid_player_play)             \
    X(fluid_player_get_status) X(fluid_player_get_current_tick) X(fluid_player_get_total_ticks)                       \
    X(new_fluid_file_renderer) X(fluid_file_renderer_process_block) X(delete_fluid_file_renderer)                     \
    X(fluid_synth_write_float) X(delete_fluid_player) X(delete_fluid_synth) X(delete_fluid_settings)

// FluidSynth is loaded when the first melody is rendered, not at start-up:
// it brings some forty libraries of its own. `loaded` is false when the
// library or any function below is missing.
struct FluidSynth {
#define ZK_FLUID(name) decltype(&::name) name = nullptr;
    ZK_FLUID_FUNCTIONS(ZK_FLUID)
#undef ZK_FLUID
    bool loaded = false;

    static const FluidSynth &get();
};

} // namespace zk
