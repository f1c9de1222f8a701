// Bytes of a file read through a memory mapping rather than copied out of it:
// a large picture is then decoded straight from the system's cache of the
// file. A file that another program cuts short while it is mapped would end
// this program at the first read past its new end (SIGBUS); reads of mapped
// bytes therefore run guarded, and such a fault ends only the read.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

class TMappedBytes {
 public:
  TMappedBytes() = default;
  // Bytes [offset, offset + size) of the file open as fd; empty where the
  // system will not map them (a file system without mappings, no address space).
  static TMappedBytes Map(int fd, std::uint64_t offset, std::size_t size);
  TMappedBytes(TMappedBytes&& other) noexcept;
  TMappedBytes& operator=(TMappedBytes&& other) noexcept;
  TMappedBytes(const TMappedBytes&) = delete;
  TMappedBytes& operator=(const TMappedBytes&) = delete;
  ~TMappedBytes();

  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  // Runs `read`, which reads these bytes. False, `read` cut off where it was,
  // when a page of them was gone (the file was cut short since it was
  // mapped). `read` must then have nothing to clean up: no object with a
  // destructor of its own may live in it or in what it calls.
  template <class Read>
  bool ReadGuarded(Read&& read) const {
    Guard guard(data_, size_);
    if (sigsetjmp(guard.jump, 0) != 0) return false;
    read();
    return true;
  }

  // What the signal handler sees of a guarded read.
  struct GuardView {
    const std::uint8_t* begin;
    const std::uint8_t* end;
    GuardView* outer;
    sigjmp_buf* jump;
  };

 private:
  // Makes the range the thread's guarded one while it lives.
  struct Guard {
    Guard(const std::uint8_t* first, std::size_t size);
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    sigjmp_buf jump;
    GuardView view;
  };

  void Release();
  void* mapping_ = nullptr;
  std::size_t mappingSize_ = 0;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};
