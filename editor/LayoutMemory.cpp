#include "LayoutMemory.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#define ZK_TUNE_GLIBC_MALLOC 1
#endif

namespace zk {

#ifdef ZK_TUNE_GLIBC_MALLOC
namespace {

// Three layouts' worth: a layout grows its blocks while it works, so the
// heap settles only after holding about three of them.
constexpr qint64 BytesPerCharacter = 48;
// Blocks under glibc's own ceiling for its sliding threshold stay in the heap.
constexpr int HeapBlockLimit = 32 << 20;
// What the heap may keep free at its top; above the largest reserve, so
// glibc does not hand the reserve back at the next free.
constexpr int KeptFreeLimit = 96 << 20;
constexpr qint64 LargestReserve = 64 << 20;
constexpr qint64 Piece = 8 << 20;
constexpr qint64 PageSize = 4096;

} // namespace
#endif

void reserveMemoryForLayout(qint64 characters)
{
#ifdef ZK_TUNE_GLIBC_MALLOC
    const qint64 wanted = std::min(characters * BytesPerCharacter, LargestReserve);
    static const bool tuned = mallopt(M_MMAP_THRESHOLD, HeapBlockLimit) == 1 && mallopt(M_TRIM_THRESHOLD, KeptFreeLimit) == 1;
    if (!tuned)
        return;
    std::vector<void *> pieces;
    for (qint64 done = 0; done < wanted; done += Piece) {
        auto *piece = static_cast<volatile char *>(std::malloc(Piece));
        if (!piece)
            break;
        for (qint64 at = 0; at < Piece; at += PageSize)
            piece[at] = 0;
        pieces.push_back(const_cast<char *>(piece));
    }
    for (void *piece : pieces)
        std::free(piece);
#else
    Q_UNUSED(characters);
#endif
}

} // namespace zk
