// The same program compiled as C++: the headers must give C linkage.
#include "headers_program.c"
