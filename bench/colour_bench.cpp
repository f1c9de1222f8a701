// The picker's two heavy paths: a ring click (square repaint, 10,000 pixels
// each with its own HSV conversion) and the hue ring (1800 wide spokes and a
// clipped copy). Goal for the click: well under one 60 Hz frame (16 ms),
// ideally under 1 ms. The references split the click into its colour maths
// and its pixel writes.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/startup.h"
#include "canvas/canvas_window.h"
#include "colour/hsv_picker_window.h"
#include "core/colour_conversions.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

void BM_RingClick(benchmark::State& state) {
  // Alternate two hues so every click really repaints.
  int n = 0;
  for (auto _ : state) {
    const bool top = (n++ & 1) == 0;
    Form7->Image1MouseDown(Form7->Image1, mbLeft, ssLeft, 100, top ? 12 : 188);
    benchmark::DoNotOptimize(Form1->CurrentColor);
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_RingClick)->Unit(benchmark::kMicrosecond);

// The click and the repaint it requests, as the event loop would carry it out.
void BM_RingClickAndRepaint(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) {
    const bool top = (n++ & 1) == 0;
    Form7->Image1MouseDown(Form7->Image1, mbLeft, ssLeft, 100, top ? 12 : 188);
    Application->ProcessMessages();
  }
}
BENCHMARK(BM_RingClickAndRepaint)->Unit(benchmark::kMicrosecond);

// Reference: the 10,000 colour conversions alone.
void BM_SquareColoursOnly(benchmark::State& state) {
  for (auto _ : state) {
    TColor sum = 0;
    for (int i = 0; i < 100; ++i)
      for (int j = 0; j < 100; ++j)
        sum ^= HsvToColor(180, static_cast<double>(j * 0.01L), static_cast<double>(i * 0.01L));
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_SquareColoursOnly)->Unit(benchmark::kMicrosecond);

// Reference: the 10,000 pixel writes alone, on the picker's own canvas.
void BM_SquarePixelsOnly(benchmark::State& state) {
  TCanvas* canvas = Form7->Image1->Canvas();
  int n = 0;
  for (auto _ : state) {
    const TColor c = (n++ & 1) ? clRed : clBlue;
    for (int i = 0; i < 100; ++i)
      for (int j = 0; j < 100; ++j) canvas->SetPixel(50 + i, 50 + j, c);
  }
}
BENCHMARK(BM_SquarePixelsOnly)->Unit(benchmark::kMicrosecond);

void BM_DrawHueRing(benchmark::State& state) {
  TBitmap bitmap;
  bitmap.SetWidth(200);
  bitmap.SetHeight(200);
  for (auto _ : state) {
    Form7->DrawHueRing(bitmap.Canvas(), Rect(0, 0, 200, 200), 5);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
}
BENCHMARK(BM_DrawHueRing)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InitializeToolkit();
  Testing::Reset();  // no real dialog or error box during the run
  CreateWindowSet();
  Form1->Show();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DestroyWindowSet();
  FinalizeToolkit();
  return 0;
}
