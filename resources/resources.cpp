// The pictures are compiled in by qt_add_resources; this unit gives the
// library something to build.
namespace zk { void resourcesLinked() {} }
