#include <gtest/gtest.h>

#include <cstdlib>

#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Without a display, Qt would abort before any test could run.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform == nullptr || *platform == '\0') setenv("QT_QPA_PLATFORM", "offscreen", 1);
  StartToolkit(argc, argv);
  const int result = RUN_ALL_TESTS();
  FinalizeToolkit();
  return result;
}
