// Linked into the mingw build of the DLL only. libstdc++'s default terminate
// handler prints the escaping exception's demangled type, which pulls the
// demangler and the whole printf engine (about 120 KB) into every DLL. No
// exception leaves an action (each runs in the action frame), so terminate
// is never expected; if it ever runs, ending at once is all it should do.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
