// Told before pixels of a bitmap change, so that what was there can be kept:
// the undo history. Every public operation that changes pixels announces the
// area first, in rows or spans; a bit per tile says it is kept already, so the
// usual announcement is a test of a word.
#pragma once

#include <cstdint>

#include "core/tile_bits.h"

class TBitmap;
struct TBitmapContents;

class TPixelWatcher {
 public:
  static constexpr int kTileShift = TTileBits::kTileShift;
  static constexpr int kTileSize = TTileBits::kTileSize;
  virtual ~TPixelWatcher() = default;

  // Pixels x0 <= x < x1 of rows y0 <= y < y1, all on the bitmap, are about
  // to change.
  void BeforeWrite(int x0, int y0, int x1, int y1) {
    if (!kept_.AllSet(x0, y0, x1, y1)) Keep(x0, y0, x1, y1);
  }
  // The whole picture is about to be replaced by one of newWidth x newHeight
  // (a resize or a load); `old` holds the picture until then and may be taken.
  virtual void BeforeReplace(TBitmapContents& old, int newWidth, int newHeight) noexcept = 0;

 protected:
  // Keeps what the tiles under the area hold, and sets their bits.
  virtual void Keep(int x0, int y0, int x1, int y1) noexcept = 0;

  // What only the watcher may do, since it is the one to be told: put kept
  // pixels back without telling itself.
  static std::uint32_t* UnannouncedRow(TBitmap& bitmap, int y);
  static void UnannouncedSwap(TBitmap& bitmap, TBitmapContents& contents);

  // Sized to the bitmap by the watcher before any write can reach it.
  TTileBits kept_;
};
