// SPDX-License-Identifier: MIT
// What the processor offers and what the host left in its floating-point
// state: the one place that reads the x87 control word, MXCSR, FPCR, the
// C environment and the CPU features, for with_arithmetic (arith.h) to
// choose an arithmetic per call. Every test is read afresh on each call,
// since the host may change its state at any time; none changes anything.
//
// Which fused multiply-add layer a build has is fixed here too, at compile
// time (fast_fma.h): x86-64 has the vector unit's (AVX2, and AVX-512 where
// the processor has it), aarch64 NEON, and any other target whose compiler
// says it has a hardware fused multiply-add for double (__FP_FAST_FMA:
// POWER, RISC-V, IBM Z, 32-bit Arm with VFPv4) the scalar one. WebAssembly
// and 32-bit Arm with hardware doubles but no fused multiply-add (Debian's
// armhf baseline) have the layer that builds its exact parts without one
// (fma_dekker.cpp). A test build may leave AVX-512 out
// (TOVRA_AVX2_FMA_LAYER) or put the scalar layer (TOVRA_SCALAR_FMA_LAYER)
// or the one without a fused multiply-add (TOVRA_DEKKER_FMA_LAYER) in place
// of the vector ones on x86-64, so that the x86-64 suite checks them as
// well.
#ifndef TOVRA_HOST_STATE_H
#define TOVRA_HOST_STATE_H

#include <cstdint>

#include "arith/x87.h"

#if defined(__x86_64__) && defined(TOVRA_SCALAR_FMA_LAYER)
#define TOVRA_FMA_SCALAR 1
#elif defined(__x86_64__) && defined(TOVRA_DEKKER_FMA_LAYER)
#define TOVRA_FMA_DEKKER 1
#elif defined(__x86_64__)
#define TOVRA_FMA_AVX 1
#if !defined(TOVRA_AVX2_FMA_LAYER)
#define TOVRA_FMA_AVX512 1
#endif
#elif defined(__aarch64__)
#define TOVRA_FMA_NEON 1
#elif defined(__FP_FAST_FMA) && !defined(__i386__)
#define TOVRA_FMA_SCALAR 1
#elif defined(__wasm__) || (defined(__arm__) && defined(__ARM_FP) && (__ARM_FP & 8) && !defined(__SOFTFP__))
// __ARM_FP bit 3: the VFP unit has doubles; __SOFTFP__: soft-float (doubles
// in library calls), which keeps the integers.
#define TOVRA_FMA_DEKKER 1
#endif

#if defined(TOVRA_FMA_AVX) || defined(TOVRA_FMA_NEON) || defined(TOVRA_FMA_SCALAR) ||                        \
    defined(TOVRA_FMA_DEKKER)
#define TOVRA_HAVE_FAST_FMA 1
#else
#define TOVRA_HAVE_FAST_FMA 0
#endif

#if !defined(__x86_64__) && !defined(__aarch64__) && TOVRA_HAVE_FAST_FMA
#include <cfenv>
#endif

namespace tovra_detail {

#if defined(__SSE__)
// MXCSR bits 6 to 15: no denormals-are-zero (with it SSE takes a subnormal
// for zero, in the comparisons of doubles too), every exception masked,
// round to nearest, no flush-to-zero. Bits 0 to 5 are sticky flags.
inline bool mxcsr_is_default() {
  unsigned int csr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
  return (csr & 0xffc0) == 0x1f80;
}
#endif

#if TOVRA_HAVE_X87
// The x87 arithmetic may run: precision control at 64 bits, rounding to
// nearest, every exception masked; and, where the compiler may use SSE for
// the comparisons of doubles, MXCSR at its default too.
inline bool x87_state_is_default() {
  unsigned short cw;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  // Bits 6, 7 and 12 are reserved or ignored; the status flags live elsewhere.
  if ((cw & 0x0f3f) != 0x033f) {
    return false;
  }
#if defined(__SSE__)
  return mxcsr_is_default();
#else
  return true;
#endif
}
#endif

#if defined(__x86_64__)
// The processor's instruction sets, as the C runtime found them.
inline bool cpu_has_fma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma");
}
inline bool cpu_has_avx2_fma() { return cpu_has_fma() && __builtin_cpu_supports("avx2"); }
// The AVX-512 layer uses the foundation instructions only. Asked once per
// row update, after fma_state_is_default() has found AVX2 and FMA (and
// initialised the runtime's record) in the same operation: one load.
inline bool cpu_has_avx512() { return __builtin_cpu_supports("avx512f"); }
#endif

#if TOVRA_HAVE_FAST_FMA
// The fused multiply-add arithmetic (fast_fma.h) may run: the processor has
// the instructions its layer uses and the host left rounding to nearest, no
// flushing of subnormals and every exception masked. It raises the sticky
// flags as any arithmetic does (inexact, and others on special operands).
inline bool fma_state_is_default() {
#if defined(TOVRA_FMA_AVX)
  return cpu_has_avx2_fma() && mxcsr_is_default();
#elif defined(__x86_64__) && defined(TOVRA_FMA_DEKKER)
  return mxcsr_is_default();
#elif defined(__x86_64__)
  return cpu_has_fma() && mxcsr_is_default();
#elif defined(__aarch64__)
  // Round to nearest (RMode, bits 22-23), no flush-to-zero (FZ, bit 24), no
  // trap enabled (bits 8-12 and 15), and the alternate behaviours off (FIZ,
  // AH, NEP, bits 0-2, zero where the processor lacks them).
  std::uint64_t fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  const std::uint64_t must_be_clear = (std::uint64_t(3) << 22) | (std::uint64_t(1) << 24) | 0x9f00 | 0x7;
  return (fpcr & must_be_clear) == 0;
#else
  // Elsewhere the C environment tells rounding and traps (fegetexcept: the
  // enabled ones; RISC-V and WebAssembly have none, and their C libraries
  // no such call), and the processor's own register what it cannot tell.
  if (std::fegetround() != FE_TONEAREST) {
    return false;
  }
#if !defined(__riscv) && !defined(__wasm__)
  if (fegetexcept() != 0) {
    return false;
  }
#endif
#if defined(__arm__)
  // VFP: no flush-to-zero (FZ, bit 24), no default-NaN mode (DN, bit 25).
  std::uint32_t fpscr;
  __asm__ __volatile__("vmrs %0, fpscr" : "=r"(fpscr));
  return (fpscr & (std::uint32_t(3) << 24)) == 0;
#elif defined(__powerpc__)
  // FPSCR: IEEE mode (NI, which flushes subnormals, clear: bit 2 of the low
  // word, which is the low word of the fenv_t image).
  std::fenv_t env;
  std::fegetenv(&env);
  std::uint64_t fpscr;
  static_assert(sizeof env == sizeof fpscr, "fenv_t is the FPSCR image");
  __builtin_memcpy(&fpscr, &env, sizeof fpscr);
  return (fpscr & 0x4) == 0;
#else
  // RISC-V, IBM Z and WebAssembly have no mode that flushes subnormals.
  return true;
#endif
#endif
}
#endif

} // namespace tovra_detail

#endif
