// Daubix: a painting program of one canvas window and its tool windows.
#include "app/startup.h"
#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  StartToolkit(argc, argv);
  CreateWindowSet();
  RunApplication();
  DestroyWindowSet();
  FinalizeToolkit();
  return 0;
}
