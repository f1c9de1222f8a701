// Reading and writing files: descriptors that always close, byte streams,
// the messages of file failures, and the safe writer that never destroys what
// was there before. The picture files and the layout file share all of it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/mapped_file.h"

// Closes its descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now and reports whether that worked (a late write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The later bytes of a file being read. Read copies up to n bytes from the
// current position and returns how many (0 at the end); it throws on errors.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual std::size_t Read(std::uint8_t* into, std::size_t n) = 0;
  // Passes over up to n bytes and returns how many (fewer at the end).
  virtual std::uint64_t Skip(std::uint64_t n);
  // The next n bytes (fewer at the end) mapped into memory, without reading
  // them or moving the position; empty where the source cannot map them.
  virtual TMappedBytes MapNext(std::uint64_t n);
};

// Bytes already in memory, handed out in order.
class TMemorySource : public TByteSource {
 public:
  TMemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override;
  std::uint64_t Skip(std::uint64_t n) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Reads a regular file from its descriptor through ReadUpTo; skips by seeking.
class TFileSource : public TByteSource {
 public:
  explicit TFileSource(int fd) : fd_(fd) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override;
  std::uint64_t Skip(std::uint64_t n) override;
  TMappedBytes MapNext(std::uint64_t n) override;

 private:
  int fd_;
};

// Where a writer puts its bytes. Write either takes all bytes or throws.
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
  void Write(const std::string& text) {
    Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
};

// The path made absolute, as messages show it.
std::string FullPath(const std::string& path);

// "ファイル "…". <reason> は開けません" and "… を作成できません", with the full path.
[[noreturn]] void ThrowOpenError(const std::string& path, int error);
[[noreturn]] void ThrowCreateError(const std::string& path, int error);
// "ストリームからの読み込みエラー" and "ストリームへの書き込みエラー".
[[noreturn]] void ThrowReadError();
[[noreturn]] void ThrowWriteError();

// Reads from fd into `into` until n bytes are there or the file ends; returns
// the bytes read. Raises the read error.
std::size_t ReadUpTo(int fd, std::uint8_t* into, std::size_t n);

// Opens a file for reading without ever blocking, and only a regular file: a
// pipe, socket or device (ENXIO, the system's own answer for a socket) or a
// folder (EISDIR) is refused at once with "ファイル "…". … は開けません".
// `status` gets the file's status when given.
FileDescriptor OpenRegularFile(const std::string& path, struct stat* status = nullptr);

// Writes the `size` bytes of path through `write`, which gets the file as a
// sink and throws on failure. A regular file is replaced only once every byte
// is written and synced (through a temporary file ".<name>.<pid>.<n>.tmp"
// beside it that keeps the old file's mode and, where allowed, its owner); a
// link stays a link. A writable file in a folder that takes no new names is
// written over in place, once room for all `size` bytes is reserved. Anything
// but a regular file (a folder, pipe, socket or device) is refused without
// being opened. Each save first removes the temporary files that processes
// since gone left in the folder. Errors: "ファイル "…". … を作成できません" when
// the file cannot be created (a read-only file included), else
// "ストリームへの書き込みエラー". With `mode`, the file ends with exactly those
// permission bits whatever the umask or the old file's mode.
void WriteFileSafely(const std::string& path, std::uint64_t size,
                     const std::function<void(TByteSink& file)>& write,
                     std::optional<mode_t> mode = std::nullopt);

namespace FileIoTesting {
// Makes every write of WriteFileSafely fail with ENOSPC once `bytes` bytes of
// that file have been written, and an in-place reservation of more than that
// fail likewise (nullopt: writes work again). A seam for the failure paths.
void FailWritesAfter(std::optional<std::uint64_t> bytes);
}  // namespace FileIoTesting
