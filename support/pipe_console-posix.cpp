#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/pipe_console.h"

extern char** environ;

namespace Vadu {

namespace {

bool SetCloseOnExec(int fd) {
  int flags = fcntl(fd, F_GETFD);
  return flags != -1 && fcntl(fd, F_SETFD, flags | FD_CLOEXEC) != -1;
}

// Writes without letting a reader that has gone raise SIGPIPE, which would end this process:
// the signal is blocked for this thread during the write and taken back if the write raised it.
ssize_t WriteWithoutSigpipe(int fd, const void* bytes, size_t count) {
  sigset_t pipeSignal, previous, pending;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  sigpending(&pending);
  bool wasPending = sigismember(&pending, SIGPIPE);
  ssize_t written;
  do {
    written = write(fd, bytes, count);
  } while (written < 0 && errno == EINTR);
  int savedErrno = errno;
  if (written < 0 && savedErrno == EPIPE && !wasPending) {
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) {
      int taken;
      sigwait(&pipeSignal, &taken);
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = savedErrno;
  return written;
}

}  // namespace

PipeConsole::PipeConsole(const WString& program, const WString& /*title*/) {
  String path = ToUtf8(program);
  if (path.IsEmpty()) return;
  int ends[2];
  if (pipe(ends) != 0) return;
  SetCloseOnExec(ends[0]);
  SetCloseOnExec(ends[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // dup2 onto descriptor 0 clears close-on-exec there; the pipe's own descriptors close at exec.
  posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
  if (ends[0] == STDIN_FILENO) {
    // Already descriptor 0 (standard input was closed): it must survive the exec.
    fcntl(ends[0], F_SETFD, 0);
  }
  String argument(kNewConsoleLoggerArgument);
  char* argv[] = {const_cast<char*>(path.CStr()), const_cast<char*>(argument.CStr()), nullptr};
  pid_t child = 0;
  int failed = posix_spawn(&child, path.CStr(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[0]);
  if (failed != 0) {
    close(ends[1]);
    return;
  }
  pipe_ = ends[1];
  process_ = child;
}

PipeConsole::~PipeConsole() { Disconnect(); }

void PipeConsole::Disconnect() {
  if (pipe_ != -1) close(static_cast<int>(pipe_));
  pipe_ = -1;
  if (process_ != -1) {
    pid_t child = static_cast<pid_t>(process_);
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  process_ = -1;
}

void PipeConsole::Send(const String& bytes) {
  if (pipe_ == -1 || bytes.IsEmpty()) return;
  if (WriteWithoutSigpipe(static_cast<int>(pipe_), bytes.Data(), bytes.Length()) < 0 &&
      errno == EPIPE)
    Disconnect();
}

}  // namespace Vadu
