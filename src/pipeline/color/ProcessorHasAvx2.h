#pragma once
// Whether the processor runs AVX2: the AVX2 kernels are called only when it
// does. Built without -mavx2, so asking is safe on any processor.

namespace lumora {

bool ProcessorHasAvx2();

} // namespace lumora
