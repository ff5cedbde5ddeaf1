// libKestra.so: the library's code comes whole from kestra_core; this file
// only gives the shared library a source of its own.
#include "Kestra.h"
