#include "ProcessorHasAvx2.h"

namespace lumora {

bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

} // namespace lumora
