#pragma once

#include <QtGlobal>

namespace zk {

// Qt lays a line out afresh after every edit of it, in a few large blocks
// that it allocates, grows and frees each time (about 14 bytes a character).
// Left to itself, glibc serves the first of them from fresh mappings and the
// next ones from a heap that grows, so each of the first edits after a long
// line appears touches memory for the first time: 3,600 page faults and
// 40 ms more for a key in a line of 1 MB. Keeping such blocks in the heap and
// touching enough of it once, after a new long line's first layout, makes
// every key cost the same. Does nothing where the allocator is not glibc's.
void reserveMemoryForLayout(qint64 characters);

} // namespace zk
