// The Edit menu of the canvas window: undo and redo of the picture's steps.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "canvas/canvas_window.h"
#include "core/environment_number.h"

std::size_t HistoryBudget() {
  // Held to the machine's memory: a budget beyond it is no limit at all.
  const std::uint64_t most =
      std::min<std::uint64_t>(PhysicalMemoryBytes(), std::numeric_limits<std::size_t>::max()) >> 20;
  const std::uint64_t mebibytes = NumberFromEnvironment(
      {"DAUBIX_UNDO_MEMORY_MB", TPictureHistory::kDefaultBudget >> 20, 0, std::max<std::uint64_t>(most, 1)});
  return static_cast<std::size_t>(mebibytes) << 20;
}

void TForm1::U1Click(TObject* /*Sender*/) {
  if (History->Undo()) Modified = true;
}

void TForm1::R1Click(TObject* /*Sender*/) {
  if (History->Redo()) Modified = true;
}

void TForm1::UpdateEditMenu() {
  U1->SetEnabled(History->CanUndo());
  R1->SetEnabled(History->CanRedo());
}
