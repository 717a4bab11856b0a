// How the C++ runtime reports what the chainer does not expect, linked into
// the product only. The runtime's defaults pull large parts of the library
// into a statically linked executable for messages nobody would read: the
// demangler and a complete printf for the handler of an uncaught exception,
// and for its std::logic_error family a second and third implementation of
// std::string (about 230 KB together). The chainer ships to machines it will
// never see, so it stays small instead:
// - running out of memory stays std::bad_alloc, and a container asked to
//   grow beyond what it can address reports the same, so that the places
//   that catch it (loading a huge configuration) treat both alike;
// - the other errors can only come from a defect in the program; they end
//   the process at once, with the code abort() would give and without the
//   message box abort() may show to an unattended setup.
#include <windows.h>

#include <bits/functexcept.h>
#include <new>
#include <typeinfo>

namespace {

[[noreturn]] void EndProcess() {
    ::TerminateProcess(::GetCurrentProcess(), 3);
    __builtin_unreachable();
}

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { EndProcess(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_bad_exception() { EndProcess(); }
void __throw_bad_cast() { EndProcess(); }
void __throw_bad_typeid() { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_domain_error(const char*) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_runtime_error(const char*) { EndProcess(); }
void __throw_range_error(const char*) { EndProcess(); }
void __throw_overflow_error(const char*) { EndProcess(); }
void __throw_underflow_error(const char*) { EndProcess(); }
}  // namespace std
