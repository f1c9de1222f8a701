#include "core/recovery_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "core/bitmap_file.h"

namespace {

constexpr char kPrefix[] = "recovery-";
constexpr char kPicture[] = ".bmp";
constexpr char kLock[] = ".lock";

std::string RandomId() {
  std::random_device device;
  const std::uint64_t id = (std::uint64_t{device()} << 32) ^ device();
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
  return text;
}

// The folder and any missing parents, private to the user as XDG asks.
void MakeFolder(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path path(folder);
  if (std::filesystem::is_directory(path, ec)) return;
  if (path.has_parent_path() && path.parent_path() != path) MakeFolder(path.parent_path().string());
  if (::mkdir(folder.c_str(), 0700) == 0)
    ::chmod(folder.c_str(), 0700);  // whatever the umask took away or left
  else if (errno != EEXIST)
    ThrowCreateError(folder, errno);
}

// Unsaved work is private: 0600 whatever the umask, or an older file's mode.
void SavePrivately(const TBitmap& picture, const std::string& path) {
  WriteFileSafely(
      path, BitmapFileSize(picture), [&picture](TByteSink& file) { WriteBitmapFile(picture, file); }, 0600);
}

// Whether a process holds the lock file at `path`; tried without taking it
// from anyone and without making the file.
bool HeldElsewhere(const std::string& path) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd.Get() < 0) return errno != ENOENT;
  return ::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0;
}

// Locks the file at `path` for this process unless another one holds it;
// made when missing. Invalid when the lock is held elsewhere or cannot be had.
FileDescriptor LockUnlessHeld(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.Get() < 0 || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return FileDescriptor(-1);
  // A process that let go of it may have removed the name meanwhile.
  struct stat held {
  }, named{};
  if (::fstat(fd.Get(), &held) != 0 || ::lstat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino ||
      held.st_dev != named.st_dev)
    return FileDescriptor(-1);
  return fd;
}

}  // namespace

bool TLeftPicture::Lock() {
  if (lock_) return true;
  FileDescriptor fd = LockUnlessHeld(lockPath_);
  if (fd.Get() < 0) return false;
  lock_.emplace(std::move(fd));
  return true;
}

void TLeftPicture::Delete() {
  ::unlink(path_.c_str());
  ::unlink(lockPath_.c_str());
  Unlock();
}

void TLeftPicture::SetAside() {
  const std::filesystem::path path(path_);
  ::rename(path_.c_str(), (path.parent_path() / ("damaged-" + path.filename().string())).c_str());
  ::unlink(lockPath_.c_str());
  Unlock();
}

TRecoveryFile::TRecoveryFile(std::string folder) : folder_(std::move(folder)) {
  const std::string stem = folder_ + "/" + kPrefix + RandomId();
  path_ = stem + kPicture;
  lockPath_ = stem + kLock;
}

TRecoveryFile::~TRecoveryFile() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  // Without its lock file, a picture kept here is one a later start offers.
  if (lock_) ::unlink(lockPath_.c_str());
}

void TRecoveryFile::EnsureLock() {
  if (lock_) return;
  MakeFolder(folder_);
  // Locked under a name no one looks at, then renamed: the lock file never
  // shows without its lock.
  const std::string fresh = lockPath_ + ".new";
  FileDescriptor fd(::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (fd.Get() < 0) ThrowCreateError(lockPath_, errno);
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ::rename(fresh.c_str(), lockPath_.c_str()) != 0) {
    const int error = errno;
    ::unlink(fresh.c_str());
    ThrowCreateError(lockPath_, error);
  }
  lock_.emplace(std::move(fd));
}

// ---- Writing ----

bool TRecoveryFile::WriteInBackground(const TBitmap& picture, const TChangedTiles& changes) {
  std::unique_lock lock(mutex_);
  if (job_ != Job::None) return false;
  const std::size_t n = picture.Empty() ? 0 : static_cast<std::size_t>(picture.Width()) * picture.Height();
  const bool sameShape = bufferValid_ && bufferHolds_.width == picture.Width() &&
                         bufferHolds_.height == picture.Height() && bufferHolds_.format == picture.Format() &&
                         buffer_.Size() == n;
  if (changes.all || !sameShape) {
    if (buffer_.Size() != n) {
      bufferValid_ = false;
      try {
        buffer_ = TPixelStore::Uninitialised(n);
      } catch (const std::bad_alloc&) {
        return false;  // the next tick tries again
      }
    }
    if (n > 0) std::memcpy(buffer_.Data(), picture.Bits(), n * 4);
  } else {
    CopyChangedTiles(picture, changes);
  }
  bufferHolds_ = {picture.Width(), picture.Height(), picture.Format(), {}};
  bufferValid_ = true;
  copy_.Assign(picture.Width(), picture.Height(), picture.Format(), std::move(buffer_), {});
  lock.unlock();
  StartJob(Job::Write);
  return true;
}

void TRecoveryFile::CopyChangedTiles(const TBitmap& picture, const TChangedTiles& changes) {
  constexpr int kTile = TPixelWatcher::kTileSize;
  const int width = picture.Width(), height = picture.Height();
  for (int ty = 0; ty * kTile < height; ++ty) {
    const int rows = std::min(kTile, height - ty * kTile);
    for (int tx = 0; tx * kTile < width; ++tx) {
      if (!changes.Tile(tx, ty)) continue;
      // Neighbouring changed tiles go in one copy per row.
      int end = tx + 1;
      while (end * kTile < width && changes.Tile(end, ty)) ++end;
      const int x = tx * kTile, columns = std::min(end * kTile, width) - x;
      for (int y = ty * kTile; y < ty * kTile + rows; ++y)
        std::memcpy(buffer_.Data() + static_cast<std::size_t>(y) * width + x, picture.ScanLine(y) + x,
                    static_cast<std::size_t>(columns) * 4);
      tx = end;
    }
  }
}

void TRecoveryFile::Reserve(std::size_t pixels) {
  {
    const std::lock_guard lock(mutex_);
    if (job_ != Job::None || buffer_.Size() == pixels) return;
    reserveSize_ = pixels;
  }
  StartJob(Job::Reserve);
}

void TRecoveryFile::StartJob(Job job) {
  std::unique_lock lock(mutex_);
  job_ = job;
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread(&TRecoveryFile::Work, this);
    } catch (const std::system_error&) {
      // No thread to be had: the work is done here and now.
      job_ = Job::None;
      lock.unlock();
      if (job == Job::Write) WriteCopy();
      return;
    }
  }
  lock.unlock();
  changed_.notify_all();
}

void TRecoveryFile::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || job_ != Job::None; });
    if (job_ == Job::None) return;
    const Job job = job_;
    lock.unlock();
    if (job == Job::Write) {
      WriteCopy();
    } else if (buffer_.Size() != reserveSize_) {
      // Touched here, so that the copy on the caller's thread meets no page faults.
      try {
        TPixelStore fresh = TPixelStore::Filled(reserveSize_, 0);
        buffer_ = std::move(fresh);
        bufferValid_ = false;
      } catch (const std::bad_alloc&) {
      }
    }
    lock.lock();
    if (removeAfter_) {
      removeAfter_ = false;
      ::unlink(path_.c_str());
    }
    job_ = Job::None;
    changed_.notify_all();
  }
}

// Writes copy_ and takes its pixel store back into buffer_ for the next copy.
void TRecoveryFile::WriteCopy() noexcept {
  bool ok = true;
  try {
    EnsureLock();
    SavePrivately(copy_, path_);
  } catch (const std::exception&) {
    ok = false;
  }
  TBitmapContents written;
  copy_.SwapContents(written);
  buffer_ = std::move(written.pixels);
  const std::lock_guard lock(mutex_);
  failed_ = !ok;
}

void TRecoveryFile::Write(TBitmap& picture) {
  WaitIdle();
  EnsureLock();
  SavePrivately(picture, path_);
}

void TRecoveryFile::Remove() {
  const std::lock_guard lock(mutex_);
  if (job_ != Job::None)
    removeAfter_ = true;
  else
    ::unlink(path_.c_str());
}

bool TRecoveryFile::TakeFailure() {
  const std::lock_guard lock(mutex_);
  return std::exchange(failed_, false);
}

void TRecoveryFile::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return job_ == Job::None; });
}

// ---- Pictures left behind ----

std::vector<TLeftPicture> TRecoveryFile::FindLeftPictures() {
  struct Candidate {
    std::string stem;
    std::int64_t modified;
  };
  std::vector<Candidate> candidates;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(kPrefix)) continue;
    const std::string full = it->path().string();
    const std::string stem = full.substr(0, full.rfind('.'));
    if (stem + kPicture == path_) continue;
    struct stat st {};
    if (name.ends_with(kLock)) {
      // A lock without its picture: the process went before its first write.
      if (::lstat((stem + kPicture).c_str(), &st) == 0) continue;
      if (const FileDescriptor lock = LockUnlessHeld(full); lock.Get() >= 0) ::unlink(full.c_str());
      continue;
    }
    if (!name.ends_with(kPicture) || ::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    candidates.push_back(
        {stem, static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.modified > b.modified; });
  std::vector<TLeftPicture> pictures;
  for (const Candidate& c : candidates)
    if (!HeldElsewhere(c.stem + kLock)) pictures.emplace_back(c.stem + kPicture, c.stem + kLock);
  return pictures;
}

void TRecoveryFile::Adopt(TLeftPicture& left) {
  if (!left.Lock()) ThrowCreateError(left.path_, EBUSY);
  WaitIdle();
  EnsureLock();
  if (std::rename(left.path_.c_str(), path_.c_str()) != 0) ThrowCreateError(path_, errno);
  ::chmod(path_.c_str(), 0600);  // left by an older program, it may be readable by others
  ::unlink(left.lockPath_.c_str());
  left.Unlock();
}
