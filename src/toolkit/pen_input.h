// The platform's pen input: every pen sample the program's windows receive,
// once, in screen pixels with the tip pressure.
#pragma once

#include <functional>
#include <memory>

struct TPenSample {
  double X = 0, Y = 0;  // screen pixels
  double Pressure = 0;  // 0..1; 0 = not touching
};

// Whether the platform lists a pen device now (false without a GUI application).
bool PlatformHasPenDevice();

// Watches the application from construction to destruction and hands each pen
// sample to the callback. It never eats the pen event, so that the platform
// still makes the mouse events that paint.
class TPenInput {
 public:
  explicit TPenInput(std::function<void(const TPenSample&)> onSample);
  ~TPenInput();
  TPenInput(const TPenInput&) = delete;
  TPenInput& operator=(const TPenInput&) = delete;

 private:
  class Filter;
  std::unique_ptr<Filter> filter_;
};
