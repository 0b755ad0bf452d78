// The same checks from C++: the declarations have C linkage.
extern "C" {
#include "header_program.c"
}
