// Linked into the test programs of the sanitizer tree only.
//
// Mesa loads its GL driver when a window asks for a GLX visual and unloads it
// again when the display closes. The driver keeps a few bytes it never frees;
// by the time LeakSanitizer reports at exit the driver is gone, its frames
// have no module name and tests/lsan.supp cannot match them, so every X test
// would fail on a leak that is not ours. Unwinding slowly enough to reach a
// named frame makes the GL tests run for minutes instead.
//
// Keeping every module loaded for the life of the test process (as
// RTLD_NODELETE would) leaves those bytes reachable from the driver's own
// globals, as they are in a real program that keeps its display open, while
// leak checking of the project's own code stays on. The test program exports
// this definition (see tests/CMakeLists.txt), so the libraries' calls reach it
// before libc's.
extern "C" int dlclose(void*) { return 0; }
