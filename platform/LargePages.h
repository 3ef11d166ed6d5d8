#pragma once

#include <QtGlobal>
#include <cstdint>
#include <sys/mman.h>

namespace zk {

// Asks the system to back a large buffer that nothing has touched yet with
// 2 MB pages: filling a 10 MB text then costs a handful of page faults
// instead of 2,560. Only the whole 2 MB pages inside the buffer are asked for.
inline void adviseLargePages(void *data, qsizetype size)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t Huge = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t from = (begin + Huge - 1) & ~(Huge - 1);
    const std::uintptr_t to = (begin + std::uintptr_t(size)) & ~(Huge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace zk
