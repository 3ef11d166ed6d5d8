#pragma once

// SQLite's functions, called through a table filled when a browser's
// bookmarks are first read: the library is not loaded when the program
// starts. Included after SQLite's header; each name below then stands for
// its entry in the table.

#include <sqlite3.h>

#include "LateLibrary.h"

#include <QString>

#define ZK_SQLITE_FUNCTIONS(X) \
    X(sqlite3_close) X(sqlite3_column_int) X(sqlite3_column_int64) X(sqlite3_column_text) X(sqlite3_finalize) \
    X(sqlite3_open_v2) X(sqlite3_prepare_v2) X(sqlite3_step)

namespace zk {

struct Sqlite {
    ZK_SQLITE_FUNCTIONS(ZK_LATE_SLOT)
    QString problem; // empty once every function is there
};

// Opens the library on the first call.
const Sqlite &sqlite();

} // namespace zk

#ifndef ZK_SQLITE_TABLE_ITSELF
#define sqlite3_close (::zk::sqlite().sqlite3_close)
#define sqlite3_column_int (::zk::sqlite().sqlite3_column_int)
#define sqlite3_column_int64 (::zk::sqlite().sqlite3_column_int64)
#define sqlite3_column_text (::zk::sqlite().sqlite3_column_text)
#define sqlite3_finalize (::zk::sqlite().sqlite3_finalize)
#define sqlite3_open_v2 (::zk::sqlite().sqlite3_open_v2)
#define sqlite3_prepare_v2 (::zk::sqlite().sqlite3_prepare_v2)
#define sqlite3_step (::zk::sqlite().sqlite3_step)
#endif
