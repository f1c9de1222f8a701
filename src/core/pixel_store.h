// The words of a bitmap's pixels. Large stores are mapped from the system
// directly: a store can be handed out without being written first (a decoder
// writes every word anyway), and a large stretch can take one word by mapping
// a few pages that hold it rather than by touching every page. A 1 KB file
// may claim a 1 GiB picture whose pixels are all missing; that must cost
// neither a gigabyte of memory nor the time to fill it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

class TPixelStore {
 public:
  TPixelStore() = default;
  // n words whose values are unspecified until written. Raises std::bad_alloc.
  static TPixelStore Uninitialised(std::size_t n);
  // n words of `word`. Raises std::bad_alloc.
  static TPixelStore Filled(std::size_t n, std::uint32_t word);
  TPixelStore(std::initializer_list<std::uint32_t> words);
  // A copy of the words, for pictures made word by word.
  TPixelStore(const std::vector<std::uint32_t>& words);  // NOLINT(google-explicit-constructor)
  TPixelStore(TPixelStore&& other) noexcept;
  TPixelStore& operator=(TPixelStore&& other) noexcept;
  TPixelStore(const TPixelStore& other);
  TPixelStore& operator=(const TPixelStore& other);
  ~TPixelStore();

  // Same size and the same words.
  friend bool operator==(const TPixelStore& a, const TPixelStore& b);

  std::uint32_t* Data() { return words_; }
  const std::uint32_t* Data() const { return words_; }
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  // Words [first, first + count) take `word`.
  void Fill(std::size_t first, std::size_t count, std::uint32_t word);
  // The same for a stretch that will mostly only be read (pixels a short file
  // left out): in a large store, by mapping pages that hold the word, each
  // copied only when first written. A canvas that is painted on wants Fill.
  void FillByMapping(std::size_t first, std::size_t count, std::uint32_t word);

 private:
  void Release();
  std::uint32_t* words_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mappedBytes_ = 0;  // 0: from operator new
  bool patterned_ = false;       // holds pages mapped from a pattern
};

namespace PixelStoreTesting {
// Makes every store of more than `bytes` bytes fail to allocate, as a system
// out of memory would (nullopt: no limit). A seam for the failure paths.
void FailAllocationsOver(std::optional<std::size_t> bytes);
}  // namespace PixelStoreTesting
