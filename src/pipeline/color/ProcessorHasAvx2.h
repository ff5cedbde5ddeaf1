#pragma once
// Whether the processor runs AVX2: the AVX2 kernels are called only when it
// does. Built without -mavx2, so asking is safe on any processor.

namespace lumora {

bool ProcessorHasAvx2();

// Which build of a stage's kernels runs: the best the processor has, or one
// forced for tests (AVX2 only where the processor has it).
enum class KernelChoice { Best, Portable, Avx2 };
bool Avx2Chosen(KernelChoice choice);

} // namespace lumora
