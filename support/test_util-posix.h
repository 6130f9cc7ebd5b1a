// Helpers shared by the POSIX-only tests.
#pragma once

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace Vadu::Testing {

// Limits the size of files this process may write for the object's life, making writes past it
// fail (with SIGXFSZ ignored, as EFBIG) as they would on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    saved_handler_ = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, saved_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit saved_;
  void (*saved_handler_)(int);
};

// Runs `check` in a child process as the unprivileged user "nobody" (when this process is root)
// and returns its exit status.
inline int AsUnprivilegedUser(const std::function<int()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    // Root's supplementary groups go as well: the child belongs to the group "nogroup" alone.
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(99);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace Vadu::Testing
