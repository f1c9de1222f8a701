// TBitmap::LoadFromFile and SaveToFile: the file system side of BMP files and
// the messages of every failure.
#include "core/bitmap_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace {

// A file is read whole; no picture we take needs more than this (1 GiB of
// pixels plus headers and colour table, or a well-compressed RLE picture).
constexpr std::uint64_t kMaxFileBytes = (std::uint64_t{1} << 30) + (std::uint64_t{1} << 26);

// The bytes of a file, in memory that is not zeroed first.
struct FileBytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};

std::unique_ptr<std::uint8_t[]> Allocate(std::size_t n) {
  try {
    std::unique_ptr<std::uint8_t[]> p(new std::uint8_t[n]);
    AdviseHugePages(p.get(), n);
    return p;
  } catch (const std::bad_alloc&) {
    ThrowSystemError(ENOMEM);
  }
}

// Reads until end of file. A file that does not start with "BM" is not read
// further than its first piece, so that a device of endless bytes is refused
// at once.
FileBytes ReadWhole(int fd, std::uint64_t sizeHint) {
  // One byte beyond the expected size, so that end of file is seen in the first pass.
  std::size_t capacity =
      static_cast<std::size_t>(std::min(std::max<std::uint64_t>(sizeHint + 1, 1 << 16), kMaxFileBytes + 1));
  FileBytes file{Allocate(capacity), 0};
  for (;;) {
    if (file.size == capacity) {
      if (file.size > kMaxFileBytes) ThrowSystemError(EFBIG);
      if (file.size >= 2 && (file.data[0] != 'B' || file.data[1] != 'M')) break;
      capacity =
          static_cast<std::size_t>(std::min<std::uint64_t>(capacity * std::uint64_t{2}, kMaxFileBytes + 1));
      std::unique_ptr<std::uint8_t[]> grown = Allocate(capacity);
      std::memcpy(grown.get(), file.data.get(), file.size);
      file.data = std::move(grown);
    }
    const ssize_t got = ::read(fd, file.data.get() + file.size, capacity - file.size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowReadError();
    if (got == 0) break;
    file.size += static_cast<std::size_t>(got);
  }
  return file;
}

// Large regular files are read as headers plus pixel pieces, so that their
// bytes never sit in memory whole beside the picture.
bool LoadLargeFile(int fd, std::uint64_t size, TBitmap& into) {
  constexpr std::size_t kPrefix = 1 << 16;
  if (size <= (std::uint64_t{4} << 20)) return false;
  std::vector<std::uint8_t> prefix(kPrefix);
  const std::size_t got = ReadUpTo(fd, prefix.data(), kPrefix);
  TFileSource rest(fd);
  if (got == kPrefix && ReadBitmapPrefixed(prefix.data(), got, size, &rest, into)) return true;
  if (::lseek(fd, 0, SEEK_SET) != 0) ThrowReadError();
  return false;
}

}  // namespace

void AdviseHugePages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  // Only advice: where huge pages are off or refused, the buffer simply stays as it is.
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

[[noreturn]] void ThrowSystemError(int errorCode) {
  throw EDaubixError("システムエラー。コード：" + std::to_string(errorCode) + ".\n" +
                     std::strerror(errorCode));
}
[[noreturn]] void ThrowInvalidBitmap() {
  throw EDaubixError("ビットマップイメージが不正です");
}

void TBitmap::LoadFromFile(const std::string& path) {
  struct stat st {};
  const FileDescriptor fd = OpenRegularFile(path, &st);
  const auto hint = static_cast<std::uint64_t>(st.st_size);
  if (hint > kMaxFileBytes) ThrowSystemError(EFBIG);
  if (LoadLargeFile(fd.Get(), hint, *this)) return;
  const FileBytes file = ReadWhole(fd.Get(), hint);
  ReadBitmapFile(file.data.get(), file.size, *this);
}

void TBitmap::SaveToFile(const std::string& path) {
  // Refuses a picture too large for the format before touching the disk.
  const std::uint64_t size = BitmapFileSize(*this);
  WriteFileSafely(path, size, [this](TByteSink& file) { WriteBitmapFile(*this, file); });
}
