// SPDX-License-Identifier: MIT
#include "fp_state.h"

#include <cfenv>
#include <cstdio>

namespace fp_state {

bool operator==(const State &a, const State &b) {
  return a.x87_cw == b.x87_cw && a.mxcsr == b.mxcsr && a.fpcr == b.fpcr && a.rounding == b.rounding;
}

const char *path_name(Path p) { return p == Path::x87 ? "x87" : p == Path::fma ? "fma" : "integer"; }

#if defined(__i386__) || defined(__x86_64__)

State standard() { return State{0x037f, 0x1f80, 0, 0}; }

State current() {
  unsigned short cw;
  unsigned csr = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
#if defined(__SSE__)
  __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
  csr &= 0xffc0;
#else
  csr = 0x1f80; // not used by this build: taken as the default
#endif
  return State{cw, csr, 0, 0};
}

bool set(const State &s) {
  // Pending x87 flags would trap at the next instruction once their
  // exception is unmasked, so they are cleared first.
  const unsigned short cw = static_cast<unsigned short>(s.x87_cw);
  __asm__ __volatile__("fclex\n\tfldcw %0" : : "m"(cw));
#if defined(__SSE__)
  unsigned csr = s.mxcsr & 0xffc0;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
#endif
  return true;
}

std::string describe(const State &s) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "x87 control word %04x, MXCSR %04x", s.x87_cw, s.mxcsr);
  return buf;
}

std::vector<PathState> paths() {
  // The default state takes the x87 unit, or the fused multiply-add for the
  // operations and orders where that is the faster (src/arith/choice.h).
  // Any other x87 control word refuses the x87 unit; the fused multiply-add
  // then runs where the processor has it and MXCSR is at its default, and
  // DAZ and FTZ refuse that too (a build without SSE ignores MXCSR, and the
  // changed rounding alone leads to the integer arithmetic).
  std::vector<PathState> list = {{Path::x87, "default state", standard()}};
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    list.push_back({Path::fma, "x87 at 53-bit precision", State{0x027f, 0x1f80, 0, 0}});
  }
#endif
#if defined(__SSE__)
  list.push_back({Path::integer, "x87 rounding up, MXCSR DAZ and FTZ", State{0x0b7f, 0x9fc0, 0, 0}});
#else
  list.push_back({Path::integer, "x87 rounding up", State{0x0b7f, 0x1f80, 0, 0}});
#endif
  return list;
}

std::vector<Named> variations() {
  return {
    {"x87 53-bit precision (as Microsoft's runtime starts a program)", State{0x027f, 0x1f80, 0, 0}},
        {"x87 24-bit precision, toward zero", State{0x0c7f, 0x1f80, 0, 0}},
        {"x87 rounding up", State{0x0b7f, 0x1f80, 0, 0}}, {"x87 rounding down", State{0x077f, 0x1f80, 0, 0}},
        {"x87 exceptions unmasked", State{0x0340, 0x1f80, 0, 0}},
#if defined(__SSE__)
        {"MXCSR flush-to-zero and denormals-are-zero", State{0x037f, 0x9fc0, 0, 0}},
        {"MXCSR rounding up", State{0x037f, 0x5f80, 0, 0}},
        {"MXCSR exceptions unmasked", State{0x037f, 0x0000, 0, 0}},
#endif
  };
}

#elif defined(__aarch64__)

State standard() { return State{0, 0, 0, 0}; }

State current() {
  std::uint64_t fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  return State{0, 0, fpcr, 0};
}

bool set(const State &s) {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(s.fpcr));
  return true;
}

std::string describe(const State &s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "FPCR %08llx", static_cast<unsigned long long>(s.fpcr));
  return buf;
}

std::vector<PathState> paths() {
  // The fused multiply-add needs FPCR at its default; flushing refuses it.
  return {{Path::fma, "default state", standard()},
          {Path::integer, "FPCR flush-to-zero", State{0, 0, std::uint64_t(1) << 24, 0}}};
}

std::vector<Named> variations() {
  return {{"FPCR rounding up", State{0, 0, std::uint64_t(1) << 22, 0}},
          {"FPCR rounding toward zero", State{0, 0, std::uint64_t(3) << 22, 0}},
          {"FPCR flush-to-zero", State{0, 0, std::uint64_t(1) << 24, 0}}};
}

#else // the rounding mode, and where glibc can enable them, the traps

// Traps: glibc's extension; RISC-V has no trapping at all.
#if defined(__GLIBC__) && !defined(__riscv)
#define TOVRA_FP_TRAPS 1
#endif

State standard() { return State{0, 0, 0, FE_TONEAREST}; }

State current() {
#if defined(TOVRA_FP_TRAPS)
  return State{0, 0, static_cast<std::uint64_t>(fegetexcept()), std::fegetround()};
#else
  return State{0, 0, 0, std::fegetround()};
#endif
}

bool set(const State &s) {
#if defined(TOVRA_FP_TRAPS)
  fedisableexcept(FE_ALL_EXCEPT);
  // POWER traps at once when a flag already raised is enabled.
  std::feclearexcept(FE_ALL_EXCEPT);
  if (s.fpcr != 0 && feenableexcept(static_cast<int>(s.fpcr)) == -1) {
    return false;
  }
#endif
  return std::fesetround(s.rounding) == 0;
}

std::string describe(const State &s) {
  return "rounding mode " + std::to_string(s.rounding) + ", traps " + std::to_string(s.fpcr);
}

// Where the compiler has a hardware fused multiply-add (POWER, RISC-V, IBM
// Z), the library's scalar layer serves the default state; where it has
// hardware doubles without one (WebAssembly, 32-bit Arm's VFP), the layer
// built on Dekker's product.
#if defined(__FP_FAST_FMA) || defined(__wasm__) ||                                                           \
    (defined(__arm__) && defined(__ARM_FP) && (__ARM_FP & 8) && !defined(__SOFTFP__))
const Path default_path = Path::fma;
#else
const Path default_path = Path::integer;
#endif

namespace {

// Whether this runtime really takes the mode: some accept only the default.
bool settable(const State &s) {
  const Scope scope(s);
  return scope.ok() && current() == s;
}

} // namespace

std::vector<PathState> paths() {
  std::vector<PathState> list = {{default_path, "default state", standard()}};
#if defined(FE_UPWARD)
  if (settable(State{0, 0, 0, FE_UPWARD})) {
    list.push_back({Path::integer, "rounding up", State{0, 0, 0, FE_UPWARD}});
  }
#endif
  return list;
}

std::vector<Named> variations() {
  std::vector<Named> list;
#if defined(FE_UPWARD)
  if (settable(State{0, 0, 0, FE_UPWARD})) {
    list.push_back({"rounding up", State{0, 0, 0, FE_UPWARD}});
  }
#endif
#if defined(FE_DOWNWARD)
  if (settable(State{0, 0, 0, FE_DOWNWARD})) {
    list.push_back({"rounding down", State{0, 0, 0, FE_DOWNWARD}});
  }
#endif
#if defined(TOVRA_FP_TRAPS)
  list.push_back({"inexact trapped", State{0, 0, FE_INEXACT, FE_TONEAREST}});
#endif
  return list;
}

#endif

} // namespace fp_state
