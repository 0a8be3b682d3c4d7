// libFuzzer target: the input gives an order and every element's bits. The
// library must not crash or trip a sanitizer, and every numeric result on
// the x87 unit in the default state must equal, bit for bit, the one it
// gives when the host has set 53-bit precision (the integer arithmetic).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "cases.h"

namespace {

cases::u64 element(FuzzedDataProvider &p) {
  static const cases::u64 common[] = {0,
                                      cases::u64(1) << 63,
                                      0x3ff0000000000000, // 1
                                      0xbff0000000000000, // -1
                                      0x4000000000000000, // 2
                                      0x3bc79ca10c924223, // 1e-20
                                      0x7e37e43c8800759c, // 1e300
                                      1,                  // the smallest subnormal
                                      0x7ff0000000000000, // inf
                                      0x7ff8000000000000, // NaN
                                      0x7ff4000000000001, // signalling NaN
                                      0xfff8000000000005};
  const unsigned pick = p.ConsumeIntegral<unsigned char>();
  if (pick < 128) {
    return common[pick % 12];
  }
  if (pick < 192) { // small integers: exact pivots, ties and cancellations
    return cases::bits_of(static_cast<double>(static_cast<int>(pick % 17) - 8));
  }
  return p.ConsumeIntegral<cases::u64>();
}

void set_control_word(unsigned short cw) { __asm__ __volatile__("fclex\n\tfldcw %0" : : "m"(cw)); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider p(data, size);
  cases::Inputs in;
  in.n = p.ConsumeIntegralInRange<unsigned>(0, 7);
  in.s = element(p);
  for (std::vector<cases::u64> *v : {&in.a, &in.b, &in.x, &in.rhs}) {
    v->resize(v == &in.a || v == &in.b ? in.n * in.n : in.n);
    for (cases::u64 &e : *v) {
      e = element(p);
    }
  }
  cases::Outputs x87, integer;
  cases::outputs<cases::Library>(in, x87);
  set_control_word(0x027f);
  cases::outputs<cases::Library>(in, integer);
  set_control_word(0x037f);
  for (int op = 0; op < cases::kOps; ++op) {
    const std::string diff = cases::first_difference(x87[op], integer[op]);
    if (!diff.empty()) {
      std::fprintf(stderr, "tovra fuzz: order %u, %s: %s\n", in.n, cases::op_name[op], diff.c_str());
      std::abort();
    }
  }
  return 0;
}
