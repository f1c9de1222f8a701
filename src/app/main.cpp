// Daubix: a painting program of one canvas window and its tool windows.
#include <QApplication>

#include "app/startup.h"
#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InitializeToolkit();
  CreateWindowSet();
  RunApplication();
  DestroyWindowSet();
  FinalizeToolkit();
  return 0;
}
