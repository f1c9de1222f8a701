// Start-up of a program under an X server (Xvfb): the time from starting it
// to the first top-level window being mapped, and its resident memory two
// seconds after start. Runs the program several times and prints each run
// and the median.
//
//   DISPLAY=:99 startup_probe [-n runs] program [args...]
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// VmRSS of a process in KiB, or -1.
long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

struct Measurement {
  double mapMs = -1;
  long rssKiB = -1;
};

// Waits for the first MapNotify of a child of the root window, at most 10 s.
double WaitForFirstMap(Display* display, Clock::time_point start) {
  const int fd = ConnectionNumber(display);
  while (Clock::now() - start < std::chrono::seconds(10)) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify)
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    timeval timeout{0, 1000};
    select(fd + 1, &fds, nullptr, nullptr, &timeout);
  }
  return -1;
}

Measurement MeasureOnce(Display* display, char** command) {
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, True);  // drop anything left from the previous run
  Measurement m;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  m.mapMs = WaitForFirstMap(display, start);
  std::this_thread::sleep_until(start + std::chrono::seconds(2));
  m.rssKiB = ResidentKiB(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  XSelectInput(display, DefaultRootWindow(display), NoEventMask);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "-n") == 0) {
    runs = std::max(1, std::atoi(argv[2]));
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: startup_probe [-n runs] program [args...]\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  std::vector<double> maps;
  std::vector<long> rss;
  for (int i = 0; i < runs; ++i) {
    const Measurement m = MeasureOnce(display, argv + first);
    std::printf("run %d: first window mapped after %.1f ms, resident %.1f MiB at 2 s\n", i + 1, m.mapMs,
                m.rssKiB / 1024.0);
    maps.push_back(m.mapMs);
    rss.push_back(m.rssKiB);
  }
  std::sort(maps.begin(), maps.end());
  std::sort(rss.begin(), rss.end());
  std::printf("median: %.1f ms to the first mapped window, %.1f MiB resident\n", maps[maps.size() / 2],
              rss[rss.size() / 2] / 1024.0);
  XCloseDisplay(display);
  return 0;
}
