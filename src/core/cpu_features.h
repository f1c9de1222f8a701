// What the processor offers beyond the build's baseline, asked once: the one
// place the vector kernels choose their path.
#pragma once

struct TCpuFeatures {
  bool ssse3 = false;
  bool avx2 = false;
};
const TCpuFeatures& CpuFeatures();
