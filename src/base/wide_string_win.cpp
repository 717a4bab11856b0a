// The executable's own copy of the wide string's members. The C++ runtime
// ships them ready-made as one block that is linked whole (about 35 KB);
// instantiated here, with every member in its own section, the linker keeps
// only the members the program uses.
#include <string>

template class std::basic_string<wchar_t>;
