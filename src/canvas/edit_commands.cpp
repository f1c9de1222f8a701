// The Edit menu of the canvas window: undo and redo of the picture's steps.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "canvas/canvas_window.h"

std::size_t HistoryBudget() {
  const char* text = std::getenv("DAUBIX_UNDO_MEMORY_MB");
  if (text == nullptr || *text == '\0') return TPictureHistory::kDefaultBudget;
  const std::string_view digits(text);
  std::uint64_t mebibytes = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), mebibytes);
  constexpr std::uint64_t kMost = std::numeric_limits<std::size_t>::max() >> 20;
  if (error == std::errc::result_out_of_range)
    mebibytes = kMost;
  else if (error != std::errc() || end != digits.data() + digits.size())
    return TPictureHistory::kDefaultBudget;
  return static_cast<std::size_t>(std::min(mebibytes, kMost)) << 20;
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
