#include <windows.h>

// The runtime's default handler for an exception nobody caught prints the
// exception's demangled type, which links a demangler and a complete printf
// into the executable (about 140 KB of its size). No exception is meant to
// get that far; if one does, end at once, with the code abort() would give
// and without the message box abort() may show to an unattended setup.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ::TerminateProcess(::GetCurrentProcess(), 3); }
}  // namespace __gnu_cxx
