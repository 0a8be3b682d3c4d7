// Reference arithmetic for the differential tests: each function gives the
// double that the x87 unit stores for one step of the library, computed with
// integers only. The exact value of the step is formed first (products and
// sums exactly, quotients to 71 bits plus a sticky bit), then rounded to the
// 64-bit extended significand and again to double, both to nearest-even,
// the second with gradual underflow and overflow to infinity.
//
// Nothing here executes a floating-point instruction on doubles, so a fault
// shared by the compiler, the FPU (or its emulator) and the library cannot
// hide in both sides of a comparison.
#ifndef TOVRA_TESTS_MODEL_X87_H
#define TOVRA_TESTS_MODEL_X87_H

namespace model {

double add(double a, double b);            // a + b
double sub(double a, double b);            // a - b
double mul(double a, double b);            // a * b
double div(double a, double b);            // a / b, a true quotient
double madd(double s, double a, double b); // (a * b) + s, the product rounded to extended first
double msub(double s, double a, double b); // s - (a * b), likewise
// The pivot test: m = |s| * scale rounded to extended, compared unrounded
// with best. Sets *rounded to m stored as a double.
bool scaled_ge(double s, double scale, double best, double *rounded);

// Steps so far in which the stored double differs from the exact value of
// the step rounded once, straight to double: the evidence that a test really
// went through the cases where the extended intermediate matters.
unsigned long long double_rounding_steps();

} // namespace model

#endif
