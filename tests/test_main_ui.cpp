#include <gtest/gtest.h>

#include <QApplication>

#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InitializeToolkit();
  const int result = RUN_ALL_TESTS();
  FinalizeToolkit();
  return result;
}
