#include "core/pixel_store.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace {

// Stores from this size on are mapped; below it operator new serves.
constexpr std::size_t kMapFrom = std::size_t{4} << 20;
// The pages that hold one word, mapped again and again over a stretch.
constexpr std::size_t kPatternBytes = std::size_t{4} << 20;

std::atomic<std::size_t> gFailOver{SIZE_MAX};

// The last large store given back, kept for the next one of about its size: a
// picture loaded or a canvas resized again then costs no page faults (the
// system would clear every page first). One store at most, and a small one.
constexpr std::size_t kKeepAtMost = std::size_t{64} << 20;
std::mutex gKeptMutex;
void* gKept = nullptr;
std::size_t gKeptBytes = 0;

// The kept mapping when it fits `bytes` without wasting a quarter, cut to size.
void* TakeKept(std::size_t bytes) {
  std::lock_guard lock(gKeptMutex);
  if (!gKept || gKeptBytes < bytes || gKeptBytes - bytes > bytes / 4) return nullptr;
  void* const kept = std::exchange(gKept, nullptr);
  if (gKeptBytes > bytes) ::munmap(static_cast<std::uint8_t*>(kept) + bytes, gKeptBytes - bytes);
  gKeptBytes = 0;
  return kept;
}

// Keeps a mapping for later, giving back the one kept before.
void Keep(void* data, std::size_t bytes) {
  void* dropped = data;
  std::size_t droppedBytes = bytes;
  if (bytes <= kKeepAtMost) {
    std::lock_guard lock(gKeptMutex);
    dropped = std::exchange(gKept, data);
    droppedBytes = std::exchange(gKeptBytes, bytes);
  }
  if (dropped) ::munmap(dropped, droppedBytes);
}

std::size_t PageSize() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t RoundUp(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

// Asks for huge pages where the system gives them: a 4K picture then costs a
// few dozen page faults instead of thousands. Only advice.
void AdviseHugePages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// A memory file of kPatternBytes that holds `word` throughout; the last one
// made is kept open for the next fill of that word. -1 when the system refuses.
int PatternFile(std::uint32_t word) {
  static std::mutex mutex;
  static int keptFd = -1;
  static std::uint32_t keptWord = 0;
  std::lock_guard lock(mutex);
  if (keptFd >= 0 && keptWord == word) return ::dup(keptFd);
  const int fd = ::memfd_create("daubix-fill", MFD_CLOEXEC);
  if (fd < 0) return -1;
  std::vector<std::uint32_t> block(std::size_t{1} << 14, word);
  const std::size_t blockBytes = block.size() * 4;
  for (std::size_t done = 0; done < kPatternBytes; done += blockBytes)
    if (::pwrite(fd, block.data(), blockBytes, static_cast<off_t>(done)) !=
        static_cast<ssize_t>(blockBytes)) {
      ::close(fd);
      return -1;
    }
  if (keptFd >= 0) ::close(keptFd);
  keptFd = fd;
  keptWord = word;
  return ::dup(fd);
}

// Maps [at, at + bytes), page aligned and inside a mapping of ours, to pages
// that read as `word`: fresh zero pages for 0, otherwise private copies of a
// memory file that holds the word. False when the system refuses.
bool MapWord(std::uint8_t* at, std::size_t bytes, std::uint32_t word) {
  if (word == 0)
    return ::mmap(at, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
           MAP_FAILED;
  const int fd = PatternFile(word);
  if (fd < 0) return false;
  bool mapped = true;
  for (std::size_t done = 0; mapped && done < bytes; done += kPatternBytes) {
    const std::size_t piece = std::min(kPatternBytes, bytes - done);
    mapped = ::mmap(at + done, piece, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0) != MAP_FAILED;
  }
  ::close(fd);  // the mappings keep the file
  return mapped;
}

}  // namespace

TPixelStore TPixelStore::Uninitialised(std::size_t n) {
  TPixelStore store;
  if (n == 0) return store;
  if (n > SIZE_MAX / 8 || n * 4 > gFailOver.load(std::memory_order_relaxed)) throw std::bad_alloc();
  const std::size_t bytes = n * 4;
  if (bytes >= kMapFrom) {
    const std::size_t mapped = RoundUp(bytes, PageSize());
    void* p = TakeKept(mapped);
    if (!p) {
      p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p == MAP_FAILED) throw std::bad_alloc();
      AdviseHugePages(p, mapped);
    }
    store.words_ = static_cast<std::uint32_t*>(p);
    store.mappedBytes_ = mapped;
  } else {
    store.words_ = new std::uint32_t[n];
  }
  store.size_ = n;
  return store;
}

TPixelStore TPixelStore::Filled(std::size_t n, std::uint32_t word) {
  TPixelStore store = Uninitialised(n);
  store.Fill(0, n, word);
  return store;
}

TPixelStore::TPixelStore(std::initializer_list<std::uint32_t> words)
    : TPixelStore(Uninitialised(words.size())) {
  std::copy(words.begin(), words.end(), words_);
}

TPixelStore::TPixelStore(const std::vector<std::uint32_t>& words) : TPixelStore(Uninitialised(words.size())) {
  std::copy(words.begin(), words.end(), words_);
}

TPixelStore::TPixelStore(const TPixelStore& other) : TPixelStore(Uninitialised(other.size_)) {
  std::copy_n(other.words_, size_, words_);
}

TPixelStore& TPixelStore::operator=(const TPixelStore& other) {
  if (this != &other) *this = TPixelStore(other);
  return *this;
}

TPixelStore::TPixelStore(TPixelStore&& other) noexcept
    : words_(std::exchange(other.words_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mappedBytes_(std::exchange(other.mappedBytes_, 0)),
      patterned_(std::exchange(other.patterned_, false)) {}

TPixelStore& TPixelStore::operator=(TPixelStore&& other) noexcept {
  if (this != &other) {
    Release();
    words_ = std::exchange(other.words_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mappedBytes_ = std::exchange(other.mappedBytes_, 0);
    patterned_ = std::exchange(other.patterned_, false);
  }
  return *this;
}

bool operator==(const TPixelStore& a, const TPixelStore& b) {
  return a.size_ == b.size_ && std::equal(a.words_, a.words_ + a.size_, b.words_);
}

TPixelStore::~TPixelStore() {
  Release();
}

void TPixelStore::Release() {
  // Pages mapped from a pattern would be copied one by one when written: such
  // a store is not worth keeping.
  if (mappedBytes_ > 0 && !patterned_)
    Keep(words_, mappedBytes_);
  else if (mappedBytes_ > 0)
    ::munmap(words_, mappedBytes_);
  else
    delete[] words_;
  words_ = nullptr;
  size_ = mappedBytes_ = 0;
  patterned_ = false;
}

void TPixelStore::Fill(std::size_t first, std::size_t count, std::uint32_t word) {
  std::fill_n(words_ + first, count, word);
}

void TPixelStore::FillByMapping(std::size_t first, std::size_t count, std::uint32_t word) {
  std::uint32_t* const begin = words_ + first;
  std::uint32_t* const end = begin + count;
  if (mappedBytes_ > 0 && count * 4 >= kMapFrom) {
    const std::size_t page = PageSize();
    auto* const base = reinterpret_cast<std::uint8_t*>(words_);
    const std::size_t from = RoundUp(first * 4, page), to = (first + count) * 4 / page * page;
    if (to > from && MapWord(base + from, to - from, word)) {
      patterned_ = patterned_ || word != 0;
      std::fill(begin, reinterpret_cast<std::uint32_t*>(base + from), word);
      std::fill(reinterpret_cast<std::uint32_t*>(base + to), end, word);
      return;
    }
  }
  std::fill(begin, end, word);
}

void PixelStoreTesting::FailAllocationsOver(std::optional<std::size_t> bytes) {
  gFailOver.store(bytes.value_or(SIZE_MAX), std::memory_order_relaxed);
}
