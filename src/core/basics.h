// The vocabulary every part of the program shares: objects, rectangles and
// the program's own error.
#pragma once

#include <stdexcept>

class TObject {
 public:
  virtual ~TObject() = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int l, int t, int r, int b) {
  return TRect{l, t, r, b};
}
inline void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}

// Every error the program raises: what() is the exact message text.
class EDaubixError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message when the system gives no memory for pixels.
inline constexpr char kResourceShortage[] = "システム リソースが足りません";
