#include "core/mapped_file.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>
#include <utility>

namespace {

// The innermost guarded read of this thread; a plain pointer, so that the
// signal handler may read it.
thread_local constinit void* tGuard = nullptr;
struct sigaction gPrevious {};

// A fault inside a guarded range ends that read. Any other is handed back to
// whoever handled the signal before: the faulting instruction runs again and
// meets that handling (by default, the end of the program, as without us).
void OnBusError(int signal, siginfo_t* info, void* context) {
  (void)signal;
  (void)context;
  const auto* at = static_cast<const std::uint8_t*>(info->si_addr);
  for (auto* g = static_cast<TMappedBytes::GuardView*>(tGuard); g; g = g->outer)
    if (at >= g->begin && at < g->end) siglongjmp(*g->jump, 1);
  ::sigaction(SIGBUS, &gPrevious, nullptr);
}

void InstallHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // Not blocked while handled: the jump out of the handler does not restore the mask.
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &gPrevious);
  });
}

std::size_t PageSize() {
  static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

TMappedBytes TMappedBytes::Map(int fd, std::uint64_t offset, std::size_t size) {
  TMappedBytes bytes;
  if (size == 0) return bytes;
  const std::uint64_t start = offset / PageSize() * PageSize();
  const auto lead = static_cast<std::size_t>(offset - start);
  if (size > SIZE_MAX - lead) return bytes;
  void* p = ::mmap(nullptr, lead + size, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
  if (p == MAP_FAILED) return bytes;
  InstallHandler();
  bytes.mapping_ = p;
  bytes.mappingSize_ = lead + size;
  bytes.data_ = static_cast<const std::uint8_t*>(p) + lead;
  bytes.size_ = size;
  return bytes;
}

TMappedBytes::TMappedBytes(TMappedBytes&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mappingSize_(std::exchange(other.mappingSize_, 0)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

TMappedBytes& TMappedBytes::operator=(TMappedBytes&& other) noexcept {
  if (this != &other) {
    Release();
    mapping_ = std::exchange(other.mapping_, nullptr);
    mappingSize_ = std::exchange(other.mappingSize_, 0);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

TMappedBytes::~TMappedBytes() {
  Release();
}

void TMappedBytes::Release() {
  if (mapping_) ::munmap(mapping_, mappingSize_);
  mapping_ = nullptr;
  data_ = nullptr;
  mappingSize_ = size_ = 0;
}

TMappedBytes::Guard::Guard(const std::uint8_t* first, std::size_t size)
    : view{first, first + size, static_cast<GuardView*>(tGuard), &jump} {
  tGuard = &view;
}

TMappedBytes::Guard::~Guard() {
  tGuard = view.outer;
}
