// The raster core's drawing calls against a reference doing the same work in
// the same run: memset for fills, QPainter (aliased, RGB32 image of the same
// size) for ellipses and round-capped lines. Run by hand:
//   bench_raster --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstring>
#include <memory>
#include <vector>

#include "core/surface.h"

namespace {

std::unique_ptr<TBitmap> Canvas(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetWidth(w);
  b->SetHeight(h);
  return b;
}

// ---- Whole-bitmap fill against memset of the same bytes ----

void BM_FillRectWhole(benchmark::State& state) {
  auto b = Canvas(3840, 2160);
  TCanvas* c = b->Canvas();
  c->Brush->SetColor(0x336699);
  for (auto _ : state) {
    c->FillRect(Rect(0, 0, 3840, 2160));
    benchmark::DoNotOptimize(b->Bits());
    b->TakeDirtyRect();
  }
  state.SetBytesProcessed(state.iterations() * 3840LL * 2160 * 4);
}
BENCHMARK(BM_FillRectWhole);

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

// ---- Single pixels, as the HSV picker writes them ----

void BM_SetPixel(benchmark::State& state) {
  auto b = Canvas(100, 100);
  TCanvas* c = b->Canvas();
  int x = 0, y = 0;
  for (auto _ : state) {
    c->SetPixel(x, y, x * 0x10101);
    if (++x == 100) {
      x = 0;
      y = y == 99 ? 0 : y + 1;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetPixel);

void BM_Pixel(benchmark::State& state) {
  auto b = Canvas(100, 100);
  TCanvas* c = b->Canvas();
  int x = 0, y = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(c->Pixel(x, y));
    if (++x == 100) {
      x = 0;
      y = y == 99 ? 0 : y + 1;
    }
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

void BM_Ellipse(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0)), w = static_cast<int>(state.range(1)),
            h = static_cast<int>(state.range(2));
  auto b = Canvas(w, h);
  TCanvas* c = b->Canvas();
  c->Pen->SetWidth(0);
  c->Pen->SetColor(0x336699);
  c->Brush->SetColor(0x336699);
  const int x = w / 2 - size / 2, y = h / 2 - size / 2;
  for (auto _ : state) {
    c->Ellipse(x, y, x + size, y + size);
    b->TakeDirtyRect();
  }
}
BENCHMARK(BM_Ellipse)->Apply(EllipseArgs);

void BM_QPainterEllipse(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0)), w = static_cast<int>(state.range(1)),
            h = static_cast<int>(state.range(2));
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QColor(0x99, 0x66, 0x33));
  p.setBrush(QColor(0x99, 0x66, 0x33));
  const int x = w / 2 - size / 2, y = h / 2 - size / 2;
  for (auto _ : state) {
    p.drawEllipse(x, y, size - 1, size - 1);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QPainterEllipse)->Apply(EllipseArgs);

// ---- Lines of brush width, as a drag draws them ----
// Args: pen width, segment length (20 or 300 px, at a slant of 3:4).

void LineArgs(benchmark::internal::Benchmark* b) {
  for (int length : {20, 300})
    for (int width : {1, 10, 50, 500}) b->Args({width, length});
}

void BM_LineTo(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), length = static_cast<int>(state.range(1));
  auto b = Canvas(1920, 1080);
  TCanvas* c = b->Canvas();
  c->Pen->SetWidth(width);
  c->Pen->SetColor(0x336699);
  const int dx = length * 4 / 5, dy = length * 3 / 5;
  for (auto _ : state) {
    c->MoveTo(960 - dx / 2, 540 - dy / 2);
    c->LineTo(960 + dx - dx / 2, 540 + dy - dy / 2);
    b->TakeDirtyRect();
  }
}
BENCHMARK(BM_LineTo)->Apply(LineArgs);

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

void BM_RingClippedCopy(benchmark::State& state) {
  auto source = Canvas(500, 500);
  source->Canvas()->Brush->SetColor(0x336699);
  source->Canvas()->FillRect(Rect(0, 0, 500, 500));
  auto b = Canvas(520, 520);
  TCanvas* c = b->Canvas();
  for (auto _ : state) {
    TRect box = Rect(10, 10, 510, 510);
    BeginPath(c->Handle());
    c->Ellipse(box);
    InflateRect(box, -60, -60);
    c->Ellipse(box);
    InflateRect(box, 60, 60);
    EndPath(c->Handle());
    const std::unique_ptr<TRegion> ring = PathToRegion(c->Handle());
    SelectClipRgn(c->Handle(), ring.get());
    c->CopyRect(box, source->Canvas(), Rect(0, 0, 500, 500));
    ReleaseCanvasContexts();
    b->TakeDirtyRect();
  }
}
BENCHMARK(BM_RingClippedCopy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
