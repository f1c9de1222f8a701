#include "core/cpu_features.h"

const TCpuFeatures& CpuFeatures() {
  static const TCpuFeatures features = [] {
    TCpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    f.ssse3 = __builtin_cpu_supports("ssse3");
    f.avx2 = __builtin_cpu_supports("avx2");
#endif
    return f;
  }();
  return features;
}
