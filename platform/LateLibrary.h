#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

namespace zk {

// A C library that the program opens when a command first
// needs it, not when it starts: every library linked to the program is
// loaded, and its symbols bound, before the first window can show, and most
// are needed only to publish, to play or record a sound or to read a
// browser's bookmarks. Every function of it that the program calls is
// resolved at once, so a library that lacks one is reported, never used by
// halves. The library stays loaded to the program's end.
class LateLibrary {
public:
    // `name` and `version` as the library's file has them: "ssl", "3" for libssl.so.3.
    LateLibrary(const QString &name, const QString &version);
    // A library of the program's own, by its path.
    explicit LateLibrary(const QString &path);
    LateLibrary(const LateLibrary &) = delete;
    LateLibrary &operator=(const LateLibrary &) = delete;

    template <class Function>
    void resolve(Function &function, const char *symbol)
    {
        function = reinterpret_cast<Function>(m_library.resolve(symbol));
        if (!function)
            m_missing << QString::fromLatin1(symbol);
    }

    // Opened, with every function resolved.
    bool isComplete() const { return m_opened && m_missing.isEmpty(); }
    // Why not, in Polish: empty when complete.
    QString problem() const;

private:
    QLibrary m_library;
    QString m_file; // as the user's system names it
    bool m_opened = false;
    QStringList m_missing;
};

} // namespace zk

// A table of a library's functions: one member for each function of an
// X-macro list, typed as the library's header declares it, and `problem`.
// The program calls through it, so it is not linked to the library.
#define ZK_LATE_SLOT(function) decltype(&::function) function = nullptr;
#define ZK_LATE_RESOLVE(function) library.resolve(table.function, #function);

// The body of the function that opens the library (LateLibrary's arguments
// after the list) on the first call and fills its table.
#define ZK_LATE_TABLE_BODY(Table, FUNCTIONS, ...)                                                                       \
    static const Table filled = [] {                                                                                   \
        static LateLibrary library(__VA_ARGS__);                                                                       \
        Table table;                                                                                                   \
        FUNCTIONS(ZK_LATE_RESOLVE)                                                                                     \
        table.problem = library.problem();                                                                             \
        return table;                                                                                                  \
    }();                                                                                                               \
    return filled;
