// Where an unsaved picture waits for the next start: one recovery file per
// process in a folder of the user's, "recovery-<id>.bmp", with a lock file
// "recovery-<id>.lock" that the process holds while it runs. A file whose
// lock nobody holds was left by a process that is gone.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/file_io.h"
#include "core/picture_history.h"
#include "core/surface.h"

// A picture left by a process that is gone. It is locked only while it is
// offered (so that no other starting process offers it too), one at a time:
// a folder of many costs one descriptor, not one each.
class TLeftPicture {
 public:
  TLeftPicture(std::string path, std::string lockPath)
      : path_(std::move(path)), lockPath_(std::move(lockPath)) {}
  const std::string& Path() const { return path_; }
  // Takes the lock; false when another process holds it or it cannot be had.
  bool Lock();
  void Unlock() { lock_.reset(); }
  // Removes the picture and its lock file.
  void Delete();
  // Renames a picture no program could read to "damaged-<its name>", which is
  // never offered, and removes its lock file.
  void SetAside();

 private:
  friend class TRecoveryFile;
  std::string path_, lockPath_;
  std::optional<FileDescriptor> lock_;
};

class TRecoveryFile {
 public:
  // Nothing is made on disk until the first write.
  explicit TRecoveryFile(std::string folder);
  // Waits for a write in progress; the picture file stays, the lock goes.
  ~TRecoveryFile();
  TRecoveryFile(const TRecoveryFile&) = delete;
  TRecoveryFile& operator=(const TRecoveryFile&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }

  // Copies the picture now and writes the copy on a thread of its own,
  // through the safe writer. The copy is kept between writes, so only the
  // tiles `changes` names are copied again (all of them after a change of
  // size or format). False, with nothing copied, while an earlier write is
  // still running.
  bool WriteInBackground(const TBitmap& picture, const TChangedTiles& changes = {});
  // Writes the picture now, after any write in progress; raises the file's
  // error (on the calling thread).
  void Write(TBitmap& picture);
  // Removes this process's file once any write in progress is done.
  void Remove();
  // Whether the last background write failed; taken by reading.
  bool TakeFailure();
  // Makes the copy buffer hold `pixels` pixels, on the writer's thread, so
  // that the next copy writes into memory that is already there.
  void Reserve(std::size_t pixels);
  // Blocks until no write, removal or reservation is pending.
  void WaitIdle();

  // Pictures left by processes that are gone, newest first, none of them
  // locked. Lock files without a picture that nobody holds are removed on the
  // way.
  std::vector<TLeftPicture> FindLeftPictures();
  // Makes a left picture, locked, this process's own recovery file.
  void Adopt(TLeftPicture& left);

 private:
  enum class Job { None, Reserve, Write };
  void StartJob(Job job);
  // Copies the changed tiles of `picture` into buffer_, which holds its last copy.
  void CopyChangedTiles(const TBitmap& picture, const TChangedTiles& changes);
  void Work();
  void WriteCopy() noexcept;
  // Makes the folder and takes this process's lock, once; raises on failure.
  void EnsureLock();

  std::string folder_, path_, lockPath_;
  std::optional<FileDescriptor> lock_;
  // The worker's state; buffer_ and copy_ are the worker's while a job runs.
  std::mutex mutex_;
  std::condition_variable changed_;
  Job job_ = Job::None;
  std::size_t reserveSize_ = 0;
  bool removeAfter_ = false, failed_ = false, quit_ = false;
  TPixelStore buffer_;           // the copy's pixel store between writes
  TBitmapContents bufferHolds_;  // the picture buffer_ holds: size and format, no pixels
  bool bufferValid_ = false;     // buffer_ holds the last picture copied
  TBitmap copy_;                 // the picture being written
  std::thread worker_;
};
