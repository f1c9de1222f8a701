// Writing a file so that a failure never destroys what was there before.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include <unistd.h>

// Closes its descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
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

// Writes path through `write`, which gets an open descriptor and throws on
// failure. A regular file is replaced only once every byte is written and
// synced (through a temporary file beside it that keeps the old file's mode
// and, where allowed, its owner); a link stays a link; a device or pipe is
// written in place; a writable file in a folder that takes no new names is
// written over in place. Errors: "ファイル "…". … を作成できません" when the file
// cannot be created (a read-only file included), else "ストリームへの書き込みエラー".
void WriteFileSafely(const std::string& path, const std::function<void(int fd)>& write);

// Writes all bytes to fd or raises the write error.
void WriteAllOrThrow(int fd, const void* data, std::size_t size);

[[noreturn]] void ThrowCreateError(const std::string& path, int error);
[[noreturn]] void ThrowWriteError();
