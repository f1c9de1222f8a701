#include "core/picture_history.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kTile = TPixelWatcher::kTileSize;
constexpr std::size_t kTileWords = std::size_t{kTile} * kTile;

std::size_t PixelCount(int width, int height) {
  return width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
}

std::size_t ContentsBytes(const TBitmapContents& c) {
  return sizeof(TBitmapContents) + c.pixels.Size() * sizeof(std::uint32_t) +
         c.format.colorTable.capacity() * sizeof(TColor);
}

bool SamePicture(const TBitmapContents& c, const TBitmap& bitmap) {
  if (c.width != bitmap.Width() || c.height != bitmap.Height() || !(c.format == bitmap.Format()))
    return false;
  const std::size_t n = PixelCount(c.width, c.height);
  return c.pixels.Size() == n && (n == 0 || std::memcmp(c.pixels.Data(), bitmap.Bits(), n * 4) == 0);
}

}  // namespace

TPictureHistory::TPictureHistory(TBitmap& bitmap, std::size_t budgetBytes)
    : bitmap_(bitmap), budget_(budgetBytes) {
  if (ResetBits(bitmap.Width(), bitmap.Height(), false)) bitmap_.SetWatcher(this);
}

TPictureHistory::~TPictureHistory() {
  if (bitmap_.Watcher() == this) bitmap_.SetWatcher(nullptr);
  // The steps give their tiles back first; then the spares go.
  undo_.clear();
  redo_.clear();
  open_ = Step{};
  for (std::uint32_t* buffer : spares_) delete[] buffer;
}

// ---- Steps ----

void TPictureHistory::EndStep() {
  if (commandDepth_ == 0) CloseStep(false);
}

void TPictureHistory::BeginCommand() {
  if (commandDepth_++ == 0) CloseStep(false);
}

void TPictureHistory::EndCommand(bool resize) {
  if (--commandDepth_ == 0) CloseStep(resize);
}

void TPictureHistory::CloseStep(bool resize) {
  if (lost_) {
    // Older steps would be put back onto a picture they never saw.
    Clear();
    return;
  }
  NoteChanges();
  DropUnchanged(open_);
  ResetBits(bitmap_.Width(), bitmap_.Height(), false);
  if (open_.tiles.empty() && !open_.whole) {
    Drop(open_);
    return;
  }
  for (Step& step : redo_) Drop(step);
  redo_.clear();
  Step step = std::move(open_);
  open_ = Step{};
  step.width = bitmap_.Width();
  step.height = bitmap_.Height();
  step.resize = resize;
  if (resize && lastWasResize_ && step.whole && !undo_.empty() && undo_.back().resize && undo_.back().whole) {
    // The earlier resize already holds the picture from before both.
    Drop(step);
    lastWasResize_ = true;
    if (SamePicture(*undo_.back().whole, bitmap_)) {
      Drop(undo_.back());
      undo_.pop_back();
      lastWasResize_ = false;
    }
  } else {
    undo_.push_back(std::move(step));
    lastWasResize_ = resize;
  }
  TopUpSpares();
  Notify();
}

// Tiles whose pixels the step left as they were cost memory and undo nothing.
void TPictureHistory::DropUnchanged(Step& step) noexcept {
  if (step.whole) {
    if (SamePicture(*step.whole, bitmap_)) Drop(step);
    return;
  }
  const auto unchanged = [this](const Tile& t) {
    for (int y = 0; y < t.height; ++y)
      if (std::memcmp(t.Row(y), bitmap_.ScanLine(t.y + y) + t.x, static_cast<std::size_t>(t.width) * 4) != 0)
        return false;
    return true;
  };
  const std::size_t before = step.tiles.size();
  std::erase_if(step.tiles, [&](const Tile& t) {
    if (!unchanged(t)) return false;
    const std::size_t bytes = kTileWords * 4 + sizeof(Tile);
    step.bytes -= bytes;
    bytes_ -= bytes;
    return true;
  });
  if (before > 0 && step.tiles.empty()) Drop(step);
}

bool TPictureHistory::Undo() {
  return Move(undo_, redo_);
}

bool TPictureHistory::Redo() {
  return Move(redo_, undo_);
}

// Applies the last step of `from` and makes it the last of `to`.
bool TPictureHistory::Move(std::deque<Step>& from, std::deque<Step>& to) {
  if (commandDepth_ > 0) return false;
  CloseStep(false);
  if (from.empty()) return false;
  Step step = std::move(from.back());
  from.pop_back();
  if (!Apply(step)) {
    Drop(step);
    Clear();
    return false;
  }
  to.push_back(std::move(step));
  lastWasResize_ = false;
  FitBudget();
  Notify();
  return true;
}

// Exchanges what the step keeps with what the bitmap holds.
bool TPictureHistory::Apply(Step& step) noexcept {
  if (step.whole) {
    changedAll_ = true;
    bytes_ -= step.bytes;
    UnannouncedSwap(bitmap_, *step.whole);
    step.bytes = sizeof(Step) + ContentsBytes(*step.whole);
    bytes_ += step.bytes;
    return ResetBits(bitmap_.Width(), bitmap_.Height(), false);
  }
  // Tiles fit only the picture they were taken from.
  if (step.width != bitmap_.Width() || step.height != bitmap_.Height()) return false;
  TRect changed = Rect(step.width, step.height, 0, 0);
  for (Tile& t : step.tiles) {
    if (!changedAll_) changed_.Set(t.x / kTile, t.y / kTile);
    for (int y = 0; y < t.height; ++y) {
      std::uint32_t* kept = t.Row(y);
      std::swap_ranges(kept, kept + t.width, UnannouncedRow(bitmap_, t.y + y) + t.x);
    }
    changed = Rect(std::min(changed.Left, t.x), std::min(changed.Top, t.y),
                   std::max(changed.Right, t.x + t.width), std::max(changed.Bottom, t.y + t.height));
  }
  bitmap_.MarkDirty(changed);
  return true;
}

void TPictureHistory::Clear() {
  for (Step& step : undo_) Drop(step);
  for (Step& step : redo_) Drop(step);
  undo_.clear();
  redo_.clear();
  Drop(open_);
  lost_ = false;
  lastWasResize_ = false;
  if (ResetBits(bitmap_.Width(), bitmap_.Height(), false)) bitmap_.SetWatcher(this);
  Notify();
}

// ---- Budget ----

void TPictureHistory::SetBudget(std::size_t bytes) {
  budget_ = bytes;
  FitBudget();
  if (bytes_ > budget_) LoseOpenStep();
  Notify();
}

std::size_t TPictureHistory::OpenStepCost(std::size_t bytes) const noexcept {
  return bytes + (open_.bytes == 0 ? sizeof(Step) : 0);
}

void TPictureHistory::Charge(std::size_t bytes) noexcept {
  const std::size_t cost = OpenStepCost(bytes);
  open_.bytes += cost;
  bytes_ += cost;
}

// Room for `bytes` more in the step in progress, made by dropping other steps.
bool TPictureHistory::MakeRoom(std::size_t bytes) noexcept {
  const std::size_t cost = OpenStepCost(bytes);
  while (bytes_ + cost > budget_) {
    if (undo_.empty() && redo_.empty()) return false;
    DropFarthest();
  }
  return true;
}

void TPictureHistory::FitBudget() noexcept {
  while (bytes_ > budget_ && (!undo_.empty() || !redo_.empty())) DropFarthest();
}

// The step farthest from the picture as it is: the oldest to undo or the last to redo.
void TPictureHistory::DropFarthest() noexcept {
  std::deque<Step>& from = undo_.size() >= redo_.size() ? undo_ : redo_;
  Drop(from.front());
  from.pop_front();
}

void TPictureHistory::Drop(Step& step) noexcept {
  bytes_ -= step.bytes;
  step = Step{};
}

void TPictureHistory::LoseOpenStep() noexcept {
  changedAll_ = true;  // no tile of this step is noted any more
  Drop(open_);
  lost_ = true;
  // Nothing more of this step is kept, so no write needs to stop here.
  ResetBits(bitmap_.Width(), bitmap_.Height(), true);
}

// ---- Capture ----

void TPictureHistory::Keep(int x0, int y0, int x1, int y1) noexcept {
  if (x0 >= x1 || y0 >= y1 || lost_ || open_.whole) return;
  for (int ty = y0 >> kTileShift; ty <= (y1 - 1) >> kTileShift; ++ty) {
    for (int tx = x0 >> kTileShift; tx <= (x1 - 1) >> kTileShift; ++tx) {
      if (kept_.Tile(tx, ty)) continue;
      if (!KeepTile(tx, ty)) return LoseOpenStep();
      kept_.Set(tx, ty);
    }
  }
}

bool TPictureHistory::KeepTile(int tx, int ty) noexcept {
  Tile tile{tx * kTile, ty * kTile, 0, 0, {nullptr, GiveBack{this}}};
  tile.width = std::min(kTile, bitmap_.Width() - tile.x);
  tile.height = std::min(kTile, bitmap_.Height() - tile.y);
  const std::size_t bytes = kTileWords * 4 + sizeof(Tile);
  if (!MakeRoom(bytes)) return false;
  tile.pixels.reset(Take());
  if (!tile.pixels) return false;
  for (int y = 0; y < tile.height; ++y)
    std::memcpy(tile.Row(y), bitmap_.ScanLine(tile.y + y) + tile.x, static_cast<std::size_t>(tile.width) * 4);
  try {
    open_.tiles.push_back(std::move(tile));
  } catch (const std::bad_alloc&) {
    return false;
  }
  Charge(bytes);
  return true;
}

void TPictureHistory::BeforeReplace(TBitmapContents& old, int newWidth, int newHeight) noexcept {
  changedAll_ = true;
  if (!lost_ && !open_.whole) {
    // The picture as the step found it: the old one with its kept tiles put back.
    for (const Tile& t : open_.tiles)
      for (int y = 0; y < t.height; ++y)
        std::memcpy(old.pixels.Data() + static_cast<std::size_t>(t.y + y) * old.width + t.x, t.Row(y),
                    static_cast<std::size_t>(t.width) * 4);
    Drop(open_);
    const std::size_t bytes = ContentsBytes(old);
    if (MakeRoom(bytes)) {
      try {
        open_.whole = std::make_unique<TBitmapContents>(std::move(old));
        Charge(bytes);
      } catch (const std::bad_alloc&) {
      }
    }
    if (!open_.whole) lost_ = true;
  }
  // The rest of the step changes a picture it already holds whole (or keeps nothing of).
  ResetBits(newWidth, newHeight, true);
}

bool TPictureHistory::ResetBits(int width, int height, bool set) noexcept {
  try {
    kept_.Reset(width, height, set);
  } catch (const std::bad_alloc&) {
    // The bits must match the picture before any write may test them.
    bitmap_.SetWatcher(nullptr);
    lost_ = true;
    changedAll_ = true;
    return false;
  }
  return true;
}

void TPictureHistory::Notify() {
  if (OnChange) OnChange();
}

// ---- Changes since the last copy ----

void TPictureHistory::NoteChanges() noexcept {
  if (changedAll_) return;
  if (lost_ || open_.whole || !changed_.SameShape(kept_)) {
    changedAll_ = true;
    return;
  }
  changed_.Merge(kept_);
}

TChangedTiles TPictureHistory::ChangedTiles() const {
  TChangedTiles changes;
  changes.all = changedAll_ || lost_ || open_.whole || !changed_.SameShape(kept_) ||
                bitmap_.Watcher() != this;  // writes nobody saw
  if (changes.all) return changes;
  changes.bits = changed_;
  changes.bits.Merge(kept_);
  return changes;
}

void TPictureHistory::ForgetChanges() {
  changedAll_ = false;
  changed_.Reset(bitmap_.Width(), bitmap_.Height(), false);
}

// ---- Tile memory ----

std::uint32_t* TPictureHistory::Take() noexcept {
  if (spares_.empty()) return new (std::nothrow) std::uint32_t[kTileWords];
  std::uint32_t* buffer = spares_.back();
  spares_.pop_back();
  return buffer;
}

void TPictureHistory::Give(std::uint32_t* buffer) noexcept {
  if (buffer == nullptr) return;
  try {
    if (spares_.size() * kTileWords * 4 < std::min(kSpareBytes, budget_)) {
      spares_.push_back(buffer);
      return;
    }
  } catch (const std::bad_alloc&) {
  }
  delete[] buffer;
}

void TPictureHistory::TopUpSpares() noexcept {
  while (spares_.size() * kTileWords * 4 < std::min(kSpareBytes, budget_)) {
    std::uint32_t* buffer = new (std::nothrow) std::uint32_t[kTileWords];
    if (buffer == nullptr) return;
    // Touched now, at the end of a step, rather than during the next stroke.
    std::memset(buffer, 0, kTileWords * 4);
    Give(buffer);
  }
}

std::size_t TPictureHistory::SpareBytes() const {
  return spares_.size() * kTileWords * 4;
}
