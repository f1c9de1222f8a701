// A small file system of our own for tests of full disks: a child process
// mounts a private tmpfs (through its own mount namespace as root, through a
// user namespace otherwise) and runs the test body there. Nothing of it is
// seen outside the child, and it is gone when the child ends.
#pragma once

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace private_tmpfs_detail {

inline bool WriteText(const char* path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out.flush());
}

// Returns "" or why the mount could not be made.
inline std::string MountPrivateTmpfs(const std::filesystem::path& at, std::size_t bytes) {
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  if (uid == 0) {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
  } else {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
      return std::string("unshare(CLONE_NEWUSER): ") + std::strerror(errno);
    if (!WriteText("/proc/self/setgroups", "deny") ||
        !WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
      return "cannot map the user namespace";
  }
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return std::string("making mounts private: ") + std::strerror(errno);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("none", at.c_str(), "tmpfs", 0, options.c_str()) != 0)
    return std::string("mount tmpfs: ") + std::strerror(errno);
  return "";
}

}  // namespace private_tmpfs_detail

// Drops every capability of the calling process, so that even root is held by
// file permissions: a folder of mode 0555 then takes no new names.
inline bool DropAllCapabilities() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  return ::syscall(SYS_capset, &header, data) == 0;
}

// Runs body(folder) in a child with a private tmpfs of `bytes` at `folder`.
// Returns the body's report: "" when it passed, "skip: …" when this machine
// cannot make the mount, anything else is a failure to show.
inline std::string RunInPrivateTmpfs(std::size_t bytes,
                                     const std::function<std::string(const std::filesystem::path&)>& body) {
  std::string pattern = (std::filesystem::temp_directory_path() / "daubix-tmpfs-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return std::string("skip: mkdtemp: ") + std::strerror(errno);
  const std::filesystem::path folder = pattern;
  int report[2];
  if (::pipe(report) != 0) return std::string("pipe: ") + std::strerror(errno);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return std::string("fork: ") + std::strerror(errno);
  }
  if (child == 0) {
    ::close(report[0]);
    std::string why = private_tmpfs_detail::MountPrivateTmpfs(folder, bytes);
    const std::string text = why.empty() ? body(folder) : "skip: " + why;
    [[maybe_unused]] const ssize_t put = ::write(report[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(report[1]);
  std::string text;
  char buffer[512];
  for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(report[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  std::error_code ignored;
  std::filesystem::remove(folder, ignored);
  if (!WIFEXITED(status))
    return "the child ended by signal " + std::to_string(WTERMSIG(status)) + ": " + text;
  return text;
}
