// Start-up of the program under an X server (Xvfb): the time from starting it
// to the mapping of the window with the given caption (the canvas window,
// "Canvas - Daubix", by default; tool windows and splash-like windows that
// come first do not count), and its resident memory two seconds after start.
// Every run starts alike: the layout file beside the program is removed
// first, and the program gets fresh, empty configuration, state and runtime
// folders (XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR), so neither a
// layout nor a recovery file from an earlier run or from the user's own use
// plays a part. Runs the program several times and prints each run and the
// median.
//
// With --reference, a reference program (bench's empty_window: an empty Qt
// main window with a menu) is started in the same way, alternating with the
// program and in turns first, so that both see the same load; the medians of
// both and the program's ratios to the reference are printed last.
//
//   DISPLAY=:120 startup_probe [-n runs] [--caption TEXT]
//       [--reference PROGRAM [--reference-caption TEXT]] [--] program [args...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
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

// A text property of a window (any type), or "" when it has none.
std::string TextProperty(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success ||
      data == nullptr)
    return {};
  std::string text = format == 8 ? std::string(reinterpret_cast<char*>(data), count) : std::string();
  XFree(data);
  return text;
}

// The caption as the window manager would show it: _NET_WM_NAME, else WM_NAME.
std::string Caption(Display* display, Window window) {
  const std::string net = TextProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False));
  return net.empty() ? TextProperty(display, window, XA_WM_NAME) : net;
}

struct Measurement {
  double mapMs = -1;
  long rssKiB = -1;
};

// Waits, at most 20 s, until a top-level window with the caption is mapped.
// A window mapped before its caption is set is watched until it gets one.
double WaitForCaptionedMap(Display* display, const std::string& caption, Clock::time_point start) {
  const int fd = ConnectionNumber(display);
  std::vector<Window> mappedUnnamed;
  const auto since = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
  while (Clock::now() - start < std::chrono::seconds(20)) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == CreateNotify) {
        // A window manager maps the window inside its frame, which the root
        // does not hear of: the window itself is asked to report its mapping.
        const Window window = event.xcreatewindow.window;
        XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped) {
          if (Caption(display, window) == caption) return since();
          mappedUnnamed.push_back(window);
        }
      } else if (event.type == MapNotify) {
        const Window window = event.xmap.window;
        if (Caption(display, window) == caption) return since();
        if (std::find(mappedUnnamed.begin(), mappedUnnamed.end(), window) == mappedUnnamed.end()) {
          XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
          mappedUnnamed.push_back(window);
        }
      } else if (event.type == PropertyNotify) {
        const Window window = event.xproperty.window;
        if (std::find(mappedUnnamed.begin(), mappedUnnamed.end(), window) != mappedUnnamed.end() &&
            Caption(display, window) == caption)
          return since();
      } else if (event.type == UnmapNotify || event.type == DestroyNotify) {
        std::erase(mappedUnnamed,
                   event.type == UnmapNotify ? event.xunmap.window : event.xdestroywindow.window);
      }
    }
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    timeval timeout{0, 1000};
    select(fd + 1, &fds, nullptr, nullptr, &timeout);
  }
  return -1;
}

// Errors from windows that went away between an event and a look at them.
int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}

// One program to measure: its command, the caption of its window and the
// layout file it may leave beside itself.
struct Subject {
  char** command = nullptr;
  std::string caption;
  std::filesystem::path layoutFile;
  std::vector<double> maps;
  std::vector<long> rss;
};

Measurement MeasureOnce(Display* display, const Subject& subject, const std::filesystem::path& scratch) {
  std::error_code ignored;
  std::filesystem::remove(subject.layoutFile, ignored);
  std::filesystem::remove_all(scratch, ignored);
  std::filesystem::create_directories(scratch / "config");
  std::filesystem::create_directories(scratch / "state");
  std::filesystem::create_directories(scratch / "runtime");
  std::filesystem::permissions(scratch / "runtime", std::filesystem::perms::owner_all);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, True);  // drop anything left from the previous run
  Measurement m;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    setenv("XDG_STATE_HOME", (scratch / "state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (scratch / "runtime").c_str(), 1);
    execvp(subject.command[0], subject.command);
    _exit(127);
  }
  m.mapMs = WaitForCaptionedMap(display, subject.caption, start);
  std::this_thread::sleep_until(start + std::chrono::seconds(2));
  m.rssKiB = ResidentKiB(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  XSelectInput(display, DefaultRootWindow(display), NoEventMask);
  std::filesystem::remove(subject.layoutFile, ignored);
  std::filesystem::remove_all(scratch, ignored);
  return m;
}

template <class T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void MeasureAndPrint(Display* display, Subject& subject, const std::filesystem::path& scratch, int run) {
  const Measurement m = MeasureOnce(display, subject, scratch);
  std::printf("run %d: \"%s\" mapped after %.1f ms, resident %.1f MiB at 2 s\n", run, subject.caption.c_str(),
              m.mapMs, m.rssKiB / 1024.0);
  std::fflush(stdout);
  subject.maps.push_back(m.mapMs);
  subject.rss.push_back(m.rssKiB);
}

void PrintMedian(const Subject& subject) {
  std::printf("median: %.1f ms to \"%s\", %.1f MiB resident\n", Median(subject.maps), subject.caption.c_str(),
              Median(subject.rss) / 1024.0);
}

// The layout file lives beside the program; nothing when there is no program.
std::optional<std::filesystem::path> LayoutFileOf(const char* program) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::canonical(program, error);
  if (error) {
    std::fprintf(stderr, "no program at %s\n", program);
    return std::nullopt;
  }
  return path.parent_path() / "Daubix.ini";
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  Subject program{.caption = "Canvas - Daubix"};
  Subject reference{.caption = "Empty - Reference"};
  const char* referenceProgram = nullptr;
  char* referenceCommand[2] = {nullptr, nullptr};
  int first = 1;
  while (first + 1 < argc && argv[first][0] == '-') {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "-n") == 0)
      runs = std::max(1, std::atoi(argv[first + 1]));
    else if (std::strcmp(argv[first], "--caption") == 0)
      program.caption = argv[first + 1];
    else if (std::strcmp(argv[first], "--reference") == 0)
      referenceProgram = argv[first + 1];
    else if (std::strcmp(argv[first], "--reference-caption") == 0)
      reference.caption = argv[first + 1];
    else
      break;
    first += 2;
  }
  if (first >= argc || argv[first][0] == '-') {
    std::fprintf(stderr,
                 "usage: startup_probe [-n runs] [--caption TEXT] [--reference PROGRAM "
                 "[--reference-caption TEXT]] [--] program [args...]\n");
    return 2;
  }
  const auto layoutFile = LayoutFileOf(argv[first]);
  if (!layoutFile) return 2;
  program.command = argv + first;
  program.layoutFile = *layoutFile;
  if (referenceProgram) {
    const auto referenceLayout = LayoutFileOf(referenceProgram);
    if (!referenceLayout) return 2;
    referenceCommand[0] = const_cast<char*>(referenceProgram);
    reference.command = referenceCommand;
    reference.layoutFile = *referenceLayout;
  }
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("daubix-startup-probe-" + std::to_string(getpid()));
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreXErrors);
  for (int i = 0; i < runs; ++i) {
    // In turns first, so that neither always starts after the other's exit.
    const bool referenceFirst = referenceProgram && i % 2 == 1;
    if (referenceFirst) MeasureAndPrint(display, reference, scratch, i + 1);
    MeasureAndPrint(display, program, scratch, i + 1);
    if (referenceProgram && !referenceFirst) MeasureAndPrint(display, reference, scratch, i + 1);
  }
  PrintMedian(program);
  bool failed = std::any_of(program.maps.begin(), program.maps.end(), [](double ms) { return ms < 0; });
  if (referenceProgram) {
    PrintMedian(reference);
    std::printf(
        "ratio to the reference: %.2fx the time to the window (goal 1.1x), %.2fx the resident memory "
        "(goal 1.0x)\n",
        Median(program.maps) / Median(reference.maps),
        static_cast<double>(Median(program.rss)) / static_cast<double>(Median(reference.rss)));
    failed |= std::any_of(reference.maps.begin(), reference.maps.end(), [](double ms) { return ms < 0; });
  }
  XCloseDisplay(display);
  return failed ? 1 : 0;
}
