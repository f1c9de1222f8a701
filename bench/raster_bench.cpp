// The raster core's drawing calls against a reference doing the same work in
// the same run: memset for fills, plain stores for single pixels, QPainter
// (aliased, RGB32 image of the same size) for fills, filled ellipses,
// round-capped lines and the ring-clipped copy. Each drawing call runs twice:
// on a bare bitmap ("bare") and on one watched by an undo history whose step
// is held open with every tile already kept ("watched"), which is how the
// canvas runs in the middle of a long stroke: only the watching is paid.
// Goals: lines at least 3x QPainter for widths 1 to 10 and 1.2x for 50 and
// 500, watched and bare; ellipses 1.3x bare and 1.0x watched; fills of 50 x 50
// and of the whole picture 1.0x watched. Run by hand:
//   bench_raster --benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/picture_history.h"
#include "core/surface.h"
#include "ratio_report.h"

namespace {

// A bitmap to draw on, bare or watched by an undo history whose step stays
// open: the whole picture is written once, so every tile is kept before the
// benchmark starts and each call pays the announcement alone.
struct Target {
  Target(int w, int h, bool watched) {
    bitmap.SetWidth(w);
    bitmap.SetHeight(h);
    if (!watched) return;
    history = std::make_unique<TPictureHistory>(bitmap);
    bitmap.Canvas()->Brush->SetColor(clWhite);
    bitmap.Canvas()->FillRect(Rect(0, 0, w, h));
    bitmap.TakeDirtyRect();
  }
  TBitmap bitmap;
  std::unique_ptr<TPictureHistory> history;
};

std::unique_ptr<Target> Canvas(int w, int h, bool watched = false) {
  return std::make_unique<Target>(w, h, watched);
}

// ---- Whole-bitmap fill against memset of the same bytes ----

void BM_FillRectWhole(benchmark::State& state, bool watched) {
  auto b = Canvas(3840, 2160, watched);
  TCanvas* c = b->bitmap.Canvas();
  c->Brush->SetColor(0x336699);
  for (auto _ : state) {
    c->FillRect(Rect(0, 0, 3840, 2160));
    benchmark::DoNotOptimize(b->bitmap.Bits());
    b->bitmap.TakeDirtyRect();
  }
  state.SetBytesProcessed(state.iterations() * 3840LL * 2160 * 4);
}
BENCHMARK_CAPTURE(BM_FillRectWhole, bare, false);
BENCHMARK_CAPTURE(BM_FillRectWhole, watched, true);

void BM_MemsetWhole(benchmark::State& state) {
  std::vector<std::uint32_t> store(3840 * 2160);
  for (auto _ : state) {
    std::memset(store.data(), 0x5A, store.size() * 4);
    benchmark::DoNotOptimize(store.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 3840LL * 2160 * 4);
}
BENCHMARK(BM_MemsetWhole);

// ---- Rectangle fills on 1920 x 1080 against QPainter ----
// Args: width and height of the rectangle, centred.

void FillArgs(benchmark::internal::Benchmark* b) {
  b->Args({50, 50})->Args({1920, 1080});
}

TRect CentredBox(const benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  return Rect(960 - w / 2, 540 - h / 2, 960 - w / 2 + w, 540 - h / 2 + h);
}

void BM_FillRect(benchmark::State& state, bool watched) {
  auto b = Canvas(1920, 1080, watched);
  TCanvas* c = b->bitmap.Canvas();
  c->Brush->SetColor(0x336699);
  const TRect box = CentredBox(state);
  for (auto _ : state) {
    c->FillRect(box);
    b->bitmap.TakeDirtyRect();
  }
}
BENCHMARK_CAPTURE(BM_FillRect, bare, false)->Apply(FillArgs);
BENCHMARK_CAPTURE(BM_FillRect, watched, true)->Apply(FillArgs);

void BM_QPainterFillRect(benchmark::State& state) {
  QImage image(1920, 1080, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  const TRect box = CentredBox(state);
  const QRect rect(box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top);
  const QColor colour(0x99, 0x66, 0x33);
  for (auto _ : state) {
    p.fillRect(rect, colour);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QPainterFillRect)->Apply(FillArgs);

// ---- Single pixels at random points of a 4K bitmap, against plain stores ----

struct Point {
  int x, y;
};

// The same points for every benchmark: many, so that they leave the caches.
const std::vector<Point>& RandomPoints() {
  static const std::vector<Point> points = [] {
    std::mt19937 random(12);
    std::vector<Point> p(1 << 20);
    for (Point& q : p) q = {static_cast<int>(random() % 3840), static_cast<int>(random() % 2160)};
    return p;
  }();
  return points;
}

void BM_SetPixel(benchmark::State& state, bool watched) {
  auto b = Canvas(3840, 2160, watched);
  TCanvas* c = b->bitmap.Canvas();
  const std::vector<Point>& points = RandomPoints();
  std::size_t i = 0;
  for (auto _ : state) {
    const Point p = points[i];
    c->SetPixel(p.x, p.y, static_cast<TColor>(i & 0xFFFFFF));
    i = (i + 1) & (points.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_SetPixel, bare, false);
BENCHMARK_CAPTURE(BM_SetPixel, watched, true);

void BM_StorePixel(benchmark::State& state) {
  std::vector<std::uint32_t> store(3840 * 2160);
  const std::vector<Point>& points = RandomPoints();
  std::size_t i = 0;
  for (auto _ : state) {
    const Point p = points[i];
    store[static_cast<std::size_t>(p.y) * 3840 + static_cast<std::size_t>(p.x)] =
        static_cast<std::uint32_t>(i);
    benchmark::ClobberMemory();
    i = (i + 1) & (points.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StorePixel);

void BM_Pixel(benchmark::State& state) {
  auto b = Canvas(3840, 2160);
  TCanvas* c = b->bitmap.Canvas();
  const std::vector<Point>& points = RandomPoints();
  std::size_t i = 0;
  for (auto _ : state) {
    const Point p = points[i];
    benchmark::DoNotOptimize(c->Pixel(p.x, p.y));
    i = (i + 1) & (points.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Pixel);

// ---- Filled ellipses (the round dot a press stamps) ----
// Args: box size, canvas width, canvas height.

void EllipseArgs(benchmark::internal::Benchmark* b) {
  for (int size : {10, 50, 500}) {
    b->Args({size, 1920, 1080});
    b->Args({size, 3840, 2160});
  }
}

void BM_Ellipse(benchmark::State& state, bool watched) {
  const int size = static_cast<int>(state.range(0)), w = static_cast<int>(state.range(1)),
            h = static_cast<int>(state.range(2));
  auto b = Canvas(w, h, watched);
  TCanvas* c = b->bitmap.Canvas();
  c->Pen->SetWidth(0);
  c->Pen->SetColor(0x336699);
  c->Brush->SetColor(0x336699);
  const int x = w / 2 - size / 2, y = h / 2 - size / 2;
  for (auto _ : state) {
    c->Ellipse(x, y, x + size, y + size);
    b->bitmap.TakeDirtyRect();
  }
}
BENCHMARK_CAPTURE(BM_Ellipse, bare, false)->Apply(EllipseArgs);
BENCHMARK_CAPTURE(BM_Ellipse, watched, true)->Apply(EllipseArgs);

void BM_QPainterEllipse(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0)), w = static_cast<int>(state.range(1)),
            h = static_cast<int>(state.range(2));
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  // A fill alone, as ours with pen and brush of one colour is: a pen would
  // make Qt stroke the outline as well.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x99, 0x66, 0x33));
  const int x = w / 2 - size / 2, y = h / 2 - size / 2;
  for (auto _ : state) {
    p.drawEllipse(x, y, size, size);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QPainterEllipse)->Apply(EllipseArgs);

// ---- Lines of brush width, as a drag draws them ----
// Args: pen width, segment length (20 or 300 px, at a slant of 3:4).

constexpr int kLineWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 50, 500};

void LineArgs(benchmark::internal::Benchmark* b) {
  for (int length : {20, 300})
    for (int width : kLineWidths) b->Args({width, length});
}

void BM_LineTo(benchmark::State& state, bool watched) {
  const int width = static_cast<int>(state.range(0)), length = static_cast<int>(state.range(1));
  auto b = Canvas(1920, 1080, watched);
  TCanvas* c = b->bitmap.Canvas();
  c->Pen->SetWidth(width);
  c->Pen->SetColor(0x336699);
  const int dx = length * 4 / 5, dy = length * 3 / 5;
  for (auto _ : state) {
    c->MoveTo(960 - dx / 2, 540 - dy / 2);
    c->LineTo(960 + dx - dx / 2, 540 + dy - dy / 2);
    b->bitmap.TakeDirtyRect();
  }
}
BENCHMARK_CAPTURE(BM_LineTo, bare, false)->Apply(LineArgs);
BENCHMARK_CAPTURE(BM_LineTo, watched, true)->Apply(LineArgs);

void BM_QPainterLine(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), length = static_cast<int>(state.range(1));
  QImage image(1920, 1080, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(0x99, 0x66, 0x33), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const int dx = length * 4 / 5, dy = length * 3 / 5;
  for (auto _ : state) {
    p.drawLine(960 - dx / 2, 540 - dy / 2, 960 + dx - dx / 2, 540 + dy - dy / 2);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QPainterLine)->Apply(LineArgs);

// ---- The hue ring: region from two ellipses, then a clipped 500 x 500 copy ----
// Args: canvas width and height; the box is centred and the ring is an
// eighth of the box thick, as the picker's. A plain copy of the same box and
// QPainter clipping by the same two ellipses are the references.

void RingArgs(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
}

constexpr int kRingBox = 500, kRingInset = kRingBox / 8;

TRect RingBox(const benchmark::State& state) {
  const int left = static_cast<int>(state.range(0)) / 2 - kRingBox / 2;
  const int top = static_cast<int>(state.range(1)) / 2 - kRingBox / 2;
  return Rect(left, top, left + kRingBox, top + kRingBox);
}

std::unique_ptr<TBitmap> RingSource() {
  auto source = std::make_unique<TBitmap>();
  source->SetWidth(kRingBox);
  source->SetHeight(kRingBox);
  source->Canvas()->Brush->SetColor(0x336699);
  source->Canvas()->FillRect(Rect(0, 0, kRingBox, kRingBox));
  return source;
}

void BM_RingClippedCopy(benchmark::State& state, bool watched) {
  const auto source = RingSource();
  auto b = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), watched);
  TCanvas* c = b->bitmap.Canvas();
  for (auto _ : state) {
    TRect box = RingBox(state);
    BeginPath(c->Handle());
    c->Ellipse(box);
    InflateRect(box, -kRingInset, -kRingInset);
    c->Ellipse(box);
    InflateRect(box, kRingInset, kRingInset);
    EndPath(c->Handle());
    const std::unique_ptr<TRegion> ring = PathToRegion(c->Handle());
    SelectClipRgn(c->Handle(), ring.get());
    c->CopyRect(box, source->Canvas(), Rect(0, 0, kRingBox, kRingBox));
    ReleaseCanvasContexts();
    b->bitmap.TakeDirtyRect();
  }
}
BENCHMARK_CAPTURE(BM_RingClippedCopy, bare, false)->Apply(RingArgs);
BENCHMARK_CAPTURE(BM_RingClippedCopy, watched, true)->Apply(RingArgs);

void BM_RectCopy(benchmark::State& state, bool watched) {
  const auto source = RingSource();
  auto b = Canvas(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), watched);
  TCanvas* c = b->bitmap.Canvas();
  for (auto _ : state) {
    c->CopyRect(RingBox(state), source->Canvas(), Rect(0, 0, kRingBox, kRingBox));
    b->bitmap.TakeDirtyRect();
  }
}
BENCHMARK_CAPTURE(BM_RectCopy, bare, false)->Apply(RingArgs);
BENCHMARK_CAPTURE(BM_RectCopy, watched, true)->Apply(RingArgs);

void BM_QPainterRingClippedCopy(benchmark::State& state) {
  QImage source(kRingBox, kRingBox, QImage::Format_RGB32);
  source.fill(QColor(0x99, 0x66, 0x33));
  QImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (auto _ : state) {
    const TRect box = RingBox(state);
    const QRectF outer(box.Left, box.Top, kRingBox, kRingBox);
    QPainterPath ring;
    ring.setFillRule(Qt::OddEvenFill);
    ring.addEllipse(outer);
    ring.addEllipse(outer.adjusted(kRingInset, kRingInset, -kRingInset, -kRingInset));
    p.setClipPath(ring);
    p.drawImage(box.Left, box.Top, source);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QPainterRingClippedCopy)->Apply(RingArgs);

// Each of ours twice, bare and watched, against the same reference; the
// second goal is the watched one.
void Compare(std::vector<Comparison>& list, const std::string& ours, const std::string& args,
             const std::string& reference, Comparison::Kind kind, double bareGoal, double watchedGoal) {
  list.push_back({ours + "/bare" + args, reference + args, kind, bareGoal});
  list.push_back({ours + "/watched" + args, reference + args, kind, watchedGoal});
}

std::vector<Comparison> Comparisons() {
  std::vector<Comparison> list;
  for (const char* size : {"1920/1080", "3840/2160"}) {
    for (int box : {10, 50, 500}) {
      const std::string args = "/" + std::to_string(box) + "/" + size;
      Compare(list, "BM_Ellipse", args, "BM_QPainterEllipse", Comparison::kFaster, 1.3, 1.0);
    }
    const std::string args = std::string("/") + size;
    Compare(list, "BM_RingClippedCopy", args, "BM_QPainterRingClippedCopy", Comparison::kFaster, 0, 0);
    list.push_back({"BM_RingClippedCopy/bare" + args, "BM_RectCopy/bare" + args, Comparison::kSlower, 0});
  }
  for (int length : {20, 300})
    for (int width : kLineWidths) {
      const std::string args = "/" + std::to_string(width) + "/" + std::to_string(length);
      const double goal = width <= 10 ? 3.0 : 1.2;
      Compare(list, "BM_LineTo", args, "BM_QPainterLine", Comparison::kFaster, goal, goal);
    }
  for (const char* box : {"/50/50", "/1920/1080"})
    Compare(list, "BM_FillRect", box, "BM_QPainterFillRect", Comparison::kFaster, 0, 1.0);
  Compare(list, "BM_FillRectWhole", "", "BM_MemsetWhole", Comparison::kSlower, 0, 0);
  Compare(list, "BM_SetPixel", "", "BM_StorePixel", Comparison::kSlower, 0, 0);
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  return RunBenchmarksWithRatios(argc, argv, Comparisons());
}
