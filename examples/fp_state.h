// SPDX-License-Identifier: MIT
// The floating-point state of the calling thread, set and read back the way
// a host program does it: the x87 control word and MXCSR on x86, FPCR on
// 64-bit Arm, the rounding mode of <cfenv> on every other processor.
//
// The library reads this state at the start of every operation to choose
// its arithmetic (the x87 unit, the fused multiply-add or the integer
// arithmetic, all to the same bits) and never changes it. Checks of that
// choice therefore set the state around the calls, as a host would, rather
// than reach into the library.
#ifndef TOVRA_EXAMPLES_FP_STATE_H
#define TOVRA_EXAMPLES_FP_STATE_H

#include <cstdint>
#include <string>
#include <vector>

namespace fp_state {

// The control bits only; a field this processor lacks stays 0. The sticky
// exception flags are no part of it: they are cleared whenever a state is set.
struct State {
  unsigned x87_cw;    // x86
  unsigned mxcsr;     // x86 where the compiler may use SSE; flag bits 0-5 left out
  std::uint64_t fpcr; // 64-bit Arm; elsewhere the exceptions that trap, where glibc can enable traps
  int rounding;       // elsewhere: fegetround()
};
bool operator==(const State &a, const State &b);
inline bool operator!=(const State &a, const State &b) { return !(a == b); }
std::string describe(const State &s);

// The state a program starts in on Linux: x87 extended precision, rounding
// to nearest, every exception masked, no flushing of subnormals.
State standard();
State current();
// False when the processor or its runtime refuses the state (fesetround
// may fail, under Emscripten for one); the state is then unchanged.
bool set(const State &s);

// Sets a state for the life of the object, then puts back the one it found.
class Scope {
public:
  explicit Scope(const State &s) : saved_(current()), ok_(set(s)) {}
  ~Scope() { set(saved_); }
  Scope(const Scope &) = delete;
  Scope &operator=(const Scope &) = delete;
  bool ok() const { return ok_; }

private:
  State saved_;
  bool ok_;
};

enum class Path { x87, fma, integer };
const char *path_name(Path p); // "x87", "fma", "integer"

struct PathState {
  Path path;
  const char *how; // the state, in words
  State state;
};
// One state for each arithmetic path that this processor can take in this
// process, the default state's path first.
std::vector<PathState> paths();

struct Named {
  const char *name;
  State state;
};
// Other states a host may set: every one must give the default state's
// bits, and find the state as it set it when the library returns.
std::vector<Named> variations();

} // namespace fp_state

#endif
