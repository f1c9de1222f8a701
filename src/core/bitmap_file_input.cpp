#include "core/bitmap_file_input.h"

#include <algorithm>
#include <cstring>
#include <utility>

// Makes n bytes available in the buffer where the source has them; returns how many are.
std::size_t BitmapInput::Fill(std::size_t n) {
  if (end_ - begin_ >= n) return n;
  if (end_ > begin_) std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  const std::uint64_t sourcePosition = position_ + end_;
  std::size_t want = n;
  if (readAheadEnd_ > sourcePosition)
    want = std::max<std::size_t>(
        n, static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, readAheadEnd_ - position_)));
  if (buffer_.size() < want) buffer_.resize(want);
  end_ += source_->Read(buffer_.data() + end_, want - end_);
  return std::min(n, end_);
}

std::span<const std::uint8_t> BitmapInput::Take(std::size_t n) {
  std::span<const std::uint8_t> bytes;
  if (!mapped_.Empty()) {
    const auto at = static_cast<std::size_t>(position_ - mappedFrom_);
    bytes = {mapped_.Data() + at, std::min(n, mapped_.Size() - at)};
  } else if (!source_) {
    bytes = {data_ + position_, static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - position_))};
  } else {
    const std::size_t got = Fill(n);  // may move the buffer
    bytes = {buffer_.data() + begin_, got};
    begin_ += bytes.size();
    if (recording_) record_.insert(record_.end(), bytes.begin(), bytes.end());
  }
  position_ += bytes.size();
  return bytes;
}

bool BitmapInput::Skip(std::uint64_t n) {
  if (!mapped_.Empty()) {
    const std::uint64_t skipped = std::min<std::uint64_t>(n, mapped_.Size() - (position_ - mappedFrom_));
    position_ += skipped;
    return skipped == n;
  }
  if (!source_) {
    const std::uint64_t skipped = std::min<std::uint64_t>(n, size_ - position_);
    position_ += skipped;
    return skipped == n;
  }
  while (recording_ && n > 0) {  // kept: read through
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(n, std::uint64_t{1} << 16));
    if (Take(piece).size() < piece) return false;
    n -= piece;
  }
  const std::size_t buffered = static_cast<std::size_t>(std::min<std::uint64_t>(n, end_ - begin_));
  begin_ += buffered;
  const std::uint64_t skipped = buffered + (n > buffered ? source_->Skip(n - buffered) : 0);
  position_ += skipped;
  return skipped == n;
}

std::vector<std::uint8_t> BitmapInput::Taken(std::uint64_t n) {
  if (!source_) return {data_, data_ + n};
  record_.resize(static_cast<std::size_t>(n));
  return std::exchange(record_, {});
}

bool BitmapInput::MapUpTo(std::uint64_t end) {
  // Only where nothing is buffered or kept: the source stands at position_.
  if (!source_ || recording_ || begin_ != end_ || end <= position_) return false;
  mapped_ = source_->MapNext(end - position_);
  mappedFrom_ = position_;
  return !mapped_.Empty();
}
