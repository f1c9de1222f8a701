// Replays a drag of 2,000 moves through the overlay's real move handler (brush
// cursor plus stroke) on canvases up to 3840 x 2160 with brushes of 10, 50 and
// 500 pixels, and reports per-move median and 99th percentile: the handler
// alone (canvas window hidden, so nothing repaints) and the handler followed
// by the repaint it causes (window shown, offscreen: Qt paints the dirty
// rectangles into the window's backing-store image). With brush 50 a third
// row gives the reference of clearing the whole overlay at every move.
//
//   bench_painting [drag file]   (default: bench/data/drag_2000.txt)
#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

struct Point {
  int x, y;
};

// The drag file's points are in a 1920 x 1080 canvas.
std::vector<Point> ReadDrag(const std::string& path) {
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

// Counts paint events and the area they covered, to show that the repaint
// really happened and how much of the window it touched.
class PaintCounter : public QObject {
 public:
  long long paints = 0;
  long long pixels = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      const QRect r = static_cast<QPaintEvent*>(event)->rect();
      pixels += static_cast<long long>(r.width()) * r.height();
    }
    return QObject::eventFilter(watched, event);
  }
};

struct Summary {
  double medianMs, p99Ms;
};

Summary Summarize(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const auto at = [&](double q) {
    return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))];
  };
  return {at(0.5), at(0.99)};
}

struct Run {
  int width, height, brush;
  bool repaint;
  // The reference: clear the whole overlay before each move, as a cursor that
  // does not remember its last box would, so the whole overlay repaints too.
  bool wholeClear = false;
};

// One drag: press at the first point, every move timed, release at the last.
std::vector<double> ReplayDrag(const std::vector<Point>& drag, const Run& run) {
  const auto scaled = [&](Point p) { return Point{p.x * run.width / 1920, p.y * run.height / 1080}; };
  const Point first = scaled(drag.front());
  Form1->Image2MouseDown(Form1->Image2, mbLeft, ssLeft, first.x, first.y);
  Application->ProcessMessages();
  std::vector<double> ms;
  ms.reserve(drag.size());
  for (const Point& raw : drag) {
    const Point p = scaled(raw);
    const auto start = std::chrono::steady_clock::now();
    if (run.wholeClear) {
      TCanvas* overlay = Form1->Image2->Canvas();
      overlay->Brush->SetColor(clWhite);
      overlay->FillRect(Rect(0, 0, run.width, run.height));
    }
    Form1->Image2MouseMove(Form1->Image2, ssLeft, p.x, p.y);
    if (run.repaint) Application->ProcessMessages();  // the merged repaint, if any is left
    const auto stop = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  const Point last = scaled(drag.back());
  Form1->Image2MouseUp(Form1->Image2, mbLeft, 0, last.x, last.y);
  return ms;
}

void Prepare(const Run& run) {
  Form1->SetVisible(run.repaint);
  Form1->SetClientWidth(run.width);
  Form1->SetClientHeight(run.height);
  Form2->ScrollBar1->SetPosition(run.brush);
  TCanvas* canvas = Form1->Image1->Canvas();
  canvas->Brush->SetColor(clWhite);
  canvas->FillRect(Rect(0, 0, run.width, run.height));
  Application->ProcessMessages();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string dragPath = argc > 1 ? argv[1] : std::string(DAUBIX_BENCH_DATA_DIR) + "/drag_2000.txt";
  const std::vector<Point> drag = ReadDrag(dragPath);
  if (drag.size() < 2) {
    std::fprintf(stderr, "no drag in %s\n", dragPath.c_str());
    return 1;
  }
  // Layout file and any error go to a scratch folder, never to a dialog.
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "daubix-painting-bench";
  std::filesystem::create_directories(scratch);
  InitializeToolkit();
  Testing::Reset();
  Testing::SetExecutablePath((scratch / "daubix").string());
  CreateWindowSet();
  Form1->Show();
  PaintCounter counter;
  Form1->Image1->Widget()->installEventFilter(&counter);
  Form1->Image2->Widget()->installEventFilter(&counter);

  std::printf("%zu moves per drag; times per move in ms\n", drag.size());
  std::printf("%-11s %5s  %-16s %8s %8s %8s %12s\n", "canvas", "brush", "measured", "median", "p99", "paints",
              "px/paint");
  const int sizes[][2] = {{600, 400}, {1920, 1080}, {3840, 2160}};
  for (const auto& size : sizes) {
    for (int brush : {10, 50, 500}) {
      for (int mode = 0; mode < (brush == 50 ? 3 : 2); ++mode) {
        const bool repaint = mode > 0;
        const Run run{size[0], size[1], brush, repaint, mode == 2};
        Prepare(run);
        ReplayDrag(std::vector<Point>(drag.begin(), drag.begin() + 200), run);  // warm the caches
        counter.paints = counter.pixels = 0;
        const Summary s = Summarize(ReplayDrag(drag, run));
        const std::string canvas =
            std::to_string(Form1->ClientWidth()) + "x" + std::to_string(Form1->ClientHeight());
        std::printf("%-11s %5d  %-16s %8.3f %8.3f %8lld %12lld\n", canvas.c_str(), brush,
                    run.wholeClear ? "whole clear+rep."
                    : repaint      ? "handler+repaint"
                                   : "handler alone",
                    s.medianMs, s.p99Ms, counter.paints,
                    counter.paints ? counter.pixels / counter.paints : 0);
      }
    }
  }
  DestroyWindowSet();
  FinalizeToolkit();
  std::filesystem::remove_all(scratch);
  return 0;
}
