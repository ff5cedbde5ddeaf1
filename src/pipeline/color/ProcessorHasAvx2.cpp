#include "ProcessorHasAvx2.h"

namespace lumora {

bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool Avx2Chosen(KernelChoice choice) {
    static const bool has = ProcessorHasAvx2();
    return has && choice != KernelChoice::Portable;
}

} // namespace lumora
