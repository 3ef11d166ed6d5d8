#pragma once

#include <cstddef>
#include <cstdint>

namespace zk::fuzz {

// One entry per parser that reads bytes from elsewhere. Each takes any
// bytes and must neither crash, hang nor leak; libFuzzer drives them in the
// fuzzing build, and the corpus replay test feeds them every stored input
// in every build.
using Target = int (*)(const uint8_t *data, size_t size);

struct NamedTarget {
    const char *name; // the folder under tests/corpus/
    Target run;
};

extern const NamedTarget Targets[];
extern const size_t TargetCount;

} // namespace zk::fuzz
