// Undo and redo for one bitmap. A step keeps, for each tile it touched, the
// tile's pixels from before its first write; where the size or the pixel
// format changed, it keeps the whole picture instead. Undoing a step swaps
// what it keeps with what the bitmap holds, so the same step can be redone.
// All steps together stay within a byte budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/surface.h"
#include "core/tile_bits.h"

// The tiles of a picture changed since some moment, as the history saw them
// written: what a copy kept in step with the picture has to take again.
struct TChangedTiles {
  bool all = true;  // any pixel may have changed: the size, the format or everything
  TTileBits bits;
  bool Tile(int tx, int ty) const { return all || bits.Tile(tx, ty); }
};

class TPictureHistory : public TPixelWatcher {
 public:
  static constexpr std::size_t kDefaultBudget = std::size_t{256} << 20;

  // Watches `bitmap` from now on; the picture it holds now is where undoing ends.
  explicit TPictureHistory(TBitmap& bitmap, std::size_t budgetBytes = kDefaultBudget);
  ~TPictureHistory() override;
  TPictureHistory(const TPictureHistory&) = delete;
  TPictureHistory& operator=(const TPictureHistory&) = delete;

  // Ends the step in progress, unless a command is running (its step ends
  // with it). Tiles that came back unchanged are dropped; a step that still
  // changed something becomes the step to undo and empties the redo list.
  void EndStep();

  // A command that is one step of its own (New, Open, a resize): whatever is
  // in progress ends before it. Inside another command it is part of that
  // one's step (the resizes of Open). Resizes that follow one another with
  // nothing between make one step.
  class Command {
   public:
    explicit Command(TPictureHistory& history, bool resize = false) : history_(history), resize_(resize) {
      history_.BeginCommand();
    }
    ~Command() { history_.EndCommand(resize_); }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

   private:
    TPictureHistory& history_;
    bool resize_;
  };

  // Ends the step in progress, then puts the picture back to before the last
  // step (Undo) or after the last undone one (Redo). False when there is none.
  bool Undo();
  bool Redo();
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  int UndoCount() const { return static_cast<int>(undo_.size()); }
  int RedoCount() const { return static_cast<int>(redo_.size()); }

  // Forgets every step, the one in progress included; the picture stays.
  void Clear();

  // Bytes held by all steps, the one in progress included: pixel stores plus
  // a fixed amount for each tile and each step. Never above the budget.
  std::size_t BytesHeld() const { return bytes_; }
  std::size_t Budget() const { return budget_; }
  // Steps farthest from the picture as it is go first until the rest fit.
  void SetBudget(std::size_t bytes);
  // Tile memory kept ready for the next steps, beside the budget: at most
  // kSpareBytes, already touched, so that capturing a tile meets no page fault.
  static constexpr std::size_t kSpareBytes = std::size_t{8} << 20;
  std::size_t SpareBytes() const;

  // The tiles changed since ForgetChanges (the autosave copies only those).
  TChangedTiles ChangedTiles() const;
  void ForgetChanges();

  // Runs after CanUndo or CanRedo may have changed.
  std::function<void()> OnChange;

 protected:
  void Keep(int x0, int y0, int x1, int y1) noexcept override;
  void BeforeReplace(TBitmapContents& old, int newWidth, int newHeight) noexcept override;

 private:
  // Tile buffers of kTileSize x kTileSize words, given back to the history's
  // spares when a step lets go of them.
  struct GiveBack {
    TPictureHistory* history;
    void operator()(std::uint32_t* buffer) const noexcept { history->Give(buffer); }
  };
  struct Tile {
    int x = 0, y = 0, width = 0, height = 0;            // on the bitmap
    std::unique_ptr<std::uint32_t[], GiveBack> pixels;  // rows kTileSize words apart
    std::uint32_t* Row(int y) const { return pixels.get() + static_cast<std::size_t>(y) * kTileSize; }
  };
  struct Step {
    std::vector<Tile> tiles;
    // The picture on the other side of the step, where its size or format changed.
    std::unique_ptr<TBitmapContents> whole;
    int width = 0, height = 0;  // the bitmap's size on both sides of a tile step
    std::size_t bytes = 0;
    bool resize = false;
  };

  void BeginCommand();
  void EndCommand(bool resize);
  void CloseStep(bool resize);
  bool Move(std::deque<Step>& from, std::deque<Step>& to);
  bool KeepTile(int tx, int ty) noexcept;
  // What adding `bytes` to the step in progress costs, its own share included.
  std::size_t OpenStepCost(std::size_t bytes) const noexcept;
  void Charge(std::size_t bytes) noexcept;
  bool MakeRoom(std::size_t bytes) noexcept;
  void DropFarthest() noexcept;
  void FitBudget() noexcept;
  void Drop(Step& step) noexcept;
  void LoseOpenStep() noexcept;
  void DropUnchanged(Step& step) noexcept;
  bool Apply(Step& step) noexcept;
  // Sizes the tile bits to the bitmap's picture (w x h), all set or all clear;
  // false when that memory cannot be had (the bitmap is then not watched).
  bool ResetBits(int width, int height, bool set) noexcept;
  // Adds the step in progress's tiles to the changed ones, before its bits go.
  void NoteChanges() noexcept;
  void Notify();
  std::uint32_t* Take() noexcept;
  void Give(std::uint32_t* buffer) noexcept;
  // Touched spares up to kSpareBytes, where the budget has room for them.
  void TopUpSpares() noexcept;

  TBitmap& bitmap_;
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::vector<std::uint32_t*> spares_;  // before the steps, whose tiles come back here
  std::deque<Step> undo_;               // oldest first
  std::deque<Step> redo_;               // farthest first, the next to redo last
  Step open_;
  // The step in progress outgrew the budget: nothing of it is kept, and the
  // steps before it can no longer be reached.
  bool lost_ = false;
  bool lastWasResize_ = false;
  int commandDepth_ = 0;
  // Tiles written since ForgetChanges, beyond those of the step in progress.
  TTileBits changed_;
  bool changedAll_ = true;
};
