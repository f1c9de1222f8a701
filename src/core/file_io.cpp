#include "core/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "core/surface.h"

namespace {

std::optional<std::uint64_t> gFailWritesAfter;

// Writes every byte to the descriptor or raises the write error.
class FileSink : public TByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  using TByteSink::Write;
  std::uint64_t Written() const { return written_; }
  void Write(const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      std::size_t piece = size;
      if (gFailWritesAfter) {
        if (written_ >= *gFailWritesAfter) {
          errno = ENOSPC;
          ThrowWriteError();
        }
        piece = static_cast<std::size_t>(std::min<std::uint64_t>(piece, *gFailWritesAfter - written_));
      }
      const ssize_t put = ::write(fd_, data, piece);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) ThrowWriteError();
      data += put;
      size -= static_cast<std::size_t>(put);
      written_ += static_cast<std::uint64_t>(put);
    }
  }

 private:
  int fd_;
  std::uint64_t written_ = 0;
};

using WriteFunction = std::function<void(TByteSink&)>;

void WriteTo(int fd, std::uint64_t size, const WriteFunction& write) {
  FileSink sink(fd);
  write(sink);
  if (sink.Written() != size) ThrowWriteError();  // the caller's size was wrong: never truncate silently
}

// The errno that honestly says why something other than a regular file is refused.
int NotARegularFile(mode_t mode) {
  return S_ISDIR(mode) ? EISDIR : ENXIO;
}

// Room for `size` bytes without changing the file's length or a byte of it.
bool Reserve(int fd, std::uint64_t size, std::uint64_t oldSize) {
  if (gFailWritesAfter && size > *gFailWritesAfter) {
    errno = ENOSPC;
    return false;
  }
  const auto length = static_cast<off_t>(size);
  if (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
  // A file system without that mode: grow the file with zeros past its end,
  // and give the length back if even that fails.
  if (size <= oldSize || ::posix_fallocate(fd, 0, length) == 0) return true;
  const int error = errno;
  [[maybe_unused]] const int restored = ::ftruncate(fd, static_cast<off_t>(oldSize));
  errno = error;
  return false;
}

// The one way to save into a folder that takes no new names. It cannot survive
// a kill, a crash or a power cut mid-way: old bytes are overwritten before all
// new ones are there, so the rename path serves every folder that can take a
// temporary file. What it does guard against is a full disk: all the room is
// reserved before the first old byte is touched.
void WriteOverInPlace(const std::string& target, const std::string& shownPath, std::uint64_t size,
                      std::optional<mode_t> mode, const WriteFunction& write) {
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) ThrowCreateError(shownPath, errno);
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) ThrowCreateError(shownPath, errno);
  if (!S_ISREG(st.st_mode)) ThrowCreateError(shownPath, NotARegularFile(st.st_mode));
  if (mode && ::fchmod(fd.Get(), *mode) != 0) ThrowCreateError(shownPath, errno);
  if (!Reserve(fd.Get(), size, static_cast<std::uint64_t>(st.st_size))) ThrowWriteError();
  WriteTo(fd.Get(), size, write);
  if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.Get()) != 0 || !fd.Close())
    ThrowWriteError();
}

std::string TemporaryName(const std::filesystem::path& target, unsigned number) {
  std::string hidden(".");
  hidden.append(target.filename().string()).append(".").append(std::to_string(::getpid()));
  hidden.append(".").append(std::to_string(number)).append(".tmp");
  return (target.parent_path() / hidden).string();
}

// A fresh file beside the target, created with the umask applied to `mode`.
int CreateTemporary(const std::filesystem::path& target, std::string& name, mode_t mode) {
  // Atomic: the recovery file is written on a thread of its own.
  static std::atomic<unsigned> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(target, ++counter);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The process id in ".<name>.<pid>.<n>.tmp", or 0 when the name is not one of ours.
pid_t WriterOfTemporary(const std::string& name) {
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() <= kEnd.size() || name[0] != '.' || !name.ends_with(kEnd)) return 0;
  const std::string_view stem(name.data(), name.size() - kEnd.size());
  const std::size_t numberDot = stem.rfind('.');
  if (numberDot == std::string_view::npos || numberDot == 0) return 0;
  const std::size_t pidDot = stem.rfind('.', numberDot - 1);
  if (pidDot == std::string_view::npos || pidDot == 0) return 0;
  const std::string_view number = stem.substr(numberDot + 1),
                         pid = stem.substr(pidDot + 1, numberDot - pidDot - 1);
  const auto digits = [](std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(number) || !digits(pid)) return 0;
  return static_cast<pid_t>(std::stoi(std::string(pid)));
}

// Temporary files of earlier saves that were killed before their rename. Only
// our own user's regular files, and only those whose process is gone: a save
// still under way in another process keeps its file.
void RemoveLeftoverTemporaries(const std::filesystem::path& folder) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const pid_t writer = WriterOfTemporary(name);
    if (writer <= 0 || writer == ::getpid()) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    ::unlink(it->path().c_str());
  }
}

void WriteByReplacing(const std::filesystem::path& target, const std::string& shownPath,
                      const struct stat* old, std::uint64_t size, std::optional<mode_t> mode,
                      const WriteFunction& write) {
  // A file the user made read-only cannot be created anew, so it is not replaced.
  if (old && ::access(target.c_str(), W_OK) != 0) ThrowCreateError(shownPath, errno);
  RemoveLeftoverTemporaries(target.parent_path());
  std::string tempName;
  FileDescriptor fd(CreateTemporary(target, tempName, mode.value_or(0666)));
  if (fd.Get() < 0 && old && (errno == EACCES || errno == EPERM)) {
    // A writable file in a folder we may not add to: it can only be written over.
    WriteOverInPlace(target.string(), shownPath, size, mode, write);
    return;
  }
  if (fd.Get() < 0) ThrowCreateError(shownPath, errno);
  try {
    if (old) {
      // Keep the old file's permission bits and, where allowed, its owner.
      // Only root may give a file away; anyone else keeps their own ownership.
      [[maybe_unused]] const int owned = ::fchown(fd.Get(), old->st_uid, old->st_gid);
      [[maybe_unused]] const int moded = ::fchmod(fd.Get(), old->st_mode & 07777);
    }
    // Exactly the bits asked for, whatever the umask or the old file had.
    if (mode && ::fchmod(fd.Get(), *mode) != 0) ThrowCreateError(shownPath, errno);
    WriteTo(fd.Get(), size, write);
    if (::fsync(fd.Get()) != 0 || !fd.Close()) ThrowWriteError();
    if (std::rename(tempName.c_str(), target.c_str()) != 0) ThrowWriteError();
  } catch (...) {
    ::unlink(tempName.c_str());
    throw;
  }
  // Make the rename itself durable; failure here loses nothing already written.
  FileDescriptor dir(::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
}

}  // namespace

std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.string();
}

[[noreturn]] void ThrowOpenError(const std::string& path, int error) {
  throw EDaubixError("ファイル \"" + FullPath(path) + "\". " + std::strerror(error) + " は開けません");
}

[[noreturn]] void ThrowCreateError(const std::string& path, int error) {
  throw EDaubixError("ファイル \"" + FullPath(path) + "\". " + std::strerror(error) + " を作成できません");
}

[[noreturn]] void ThrowReadError() {
  throw EDaubixError("ストリームからの読み込みエラー");
}

[[noreturn]] void ThrowWriteError() {
  throw EDaubixError("ストリームへの書き込みエラー");
}

std::size_t ReadUpTo(int fd, std::uint8_t* into, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t piece = ::read(fd, into + got, n - got);
    if (piece < 0 && errno == EINTR) continue;
    if (piece < 0) ThrowReadError();
    if (piece == 0) break;
    got += static_cast<std::size_t>(piece);
  }
  return got;
}

std::uint64_t TByteSource::Skip(std::uint64_t n) {
  std::uint8_t scratch[4096];
  std::uint64_t skipped = 0;
  while (skipped < n) {
    const std::size_t got =
        Read(scratch, static_cast<std::size_t>(std::min<std::uint64_t>(n - skipped, sizeof scratch)));
    if (got == 0) break;
    skipped += got;
  }
  return skipped;
}

TMappedBytes TByteSource::MapNext(std::uint64_t) {
  return {};
}

std::size_t TMemorySource::Read(std::uint8_t* into, std::size_t n) {
  n = std::min(n, size_ - position_);
  if (n > 0) std::memcpy(into, data_ + position_, n);
  position_ += n;
  return n;
}

std::uint64_t TMemorySource::Skip(std::uint64_t n) {
  const std::size_t skipped = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - position_));
  position_ += skipped;
  return skipped;
}

std::size_t TFileSource::Read(std::uint8_t* into, std::size_t n) {
  return ReadUpTo(fd_, into, n);
}

// A seek past the end would succeed, so the file's length bounds it.
std::uint64_t TFileSource::Skip(std::uint64_t n) {
  struct stat st {};
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::fstat(fd_, &st) != 0) return TByteSource::Skip(n);
  const std::uint64_t left = st.st_size > at ? static_cast<std::uint64_t>(st.st_size - at) : 0;
  const std::uint64_t skipped = std::min(n, left);
  if (::lseek(fd_, static_cast<off_t>(skipped), SEEK_CUR) < 0) ThrowReadError();
  return skipped;
}

TMappedBytes TFileSource::MapNext(std::uint64_t n) {
  struct stat st {};
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= at) return {};
  const std::uint64_t size = std::min(n, static_cast<std::uint64_t>(st.st_size - at));
  if (size > SIZE_MAX) return {};
  return TMappedBytes::Map(fd_, static_cast<std::uint64_t>(at), static_cast<std::size_t>(size));
}

FileDescriptor OpenRegularFile(const std::string& path, struct stat* status) {
  // Non-blocking, so that a pipe without a writer cannot hold the open.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) ThrowOpenError(path, errno);
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) ThrowOpenError(path, errno);
  if (!S_ISREG(st.st_mode)) ThrowOpenError(path, NotARegularFile(st.st_mode));
  if (status) *status = st;
  return fd;
}

void FileIoTesting::FailWritesAfter(std::optional<std::uint64_t> bytes) {
  gFailWritesAfter = bytes;
}

void WriteFileSafely(const std::string& path, std::uint64_t size, const WriteFunction& write,
                     std::optional<mode_t> mode) {
  // Through a symbolic link into the file it names, keeping the link.
  std::error_code ec;
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return WriteByReplacing(target, path, nullptr, size, mode, write);
  // Nothing but a regular file is written: opening a pipe for writing would
  // wait for a reader, and a device is not where a picture is kept.
  if (!S_ISREG(st.st_mode)) ThrowCreateError(path, NotARegularFile(st.st_mode));
  WriteByReplacing(target, path, &st, size, mode, write);
}
