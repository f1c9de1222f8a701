// The recorded drags under bench/data and the clock the replays time them by,
// shared by the benchmarks that replay them through the real handlers.
#pragma once

#include <time.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct Point {
  int x, y;
};

// The drag file's points, in a 1920 x 1080 canvas; "#" lines are comments.
inline std::vector<Point> ReadDrag(const std::string& path) {
  std::ifstream file(path);
  std::vector<Point> points;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Point p{};
    if (fields >> p.x >> p.y) points.push_back(p);
  }
  return points;
}

// The calling thread's CPU time in ms: other processes on a shared machine
// disturb it far less than wall time.
inline double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}
