// Daubix: a painting program of one canvas window and its tool windows.
#include <cstdio>

#include "app/startup.h"
#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  // --help, --version and mistakes are answered before any window or display.
  const TCommandLine command = ParseCommandLine(argc, argv);
  if (command.ExitCode) {
    std::fputs(command.Message.c_str(), *command.ExitCode == 0 ? stdout : stderr);
    return *command.ExitCode;
  }
  if (!command.Message.empty()) std::fputs(command.Message.c_str(), stderr);
  StartToolkit(argc, argv);
  CreateWindowSet();
  const int status = RunApplication(command.PictureFile);
  DestroyWindowSet();
  FinalizeToolkit();
  return status;
}
