#include "support/process.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "support/process_children.h"

extern char** environ;

namespace Vadu {

namespace {

using Platform::Deadline;

std::atomic<void (*)()> programOpenedHook{nullptr};

// The exit status a child reports when its set-up failed before the program started.
constexpr int kSetUpFailed = 127;

// Keeps a child's stream as this process has it.
constexpr int kInherit = -1;

// True when `path` names something that is not a directory.
bool IsExistingFile(const String& path) {
  struct stat info;
  return stat(path.CStr(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// The exit code of a child that ended normally, else -1.
int32_t DecodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// An open file descriptor, closed when the object goes away.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // Takes `fd` over, closing what was held.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Moves `descriptor` above the standard streams, close-on-exec, so that placing a child's
// streams onto 0, 1 and 2 never overwrites it. False when it is not open or cannot be moved.
bool LiftAboveStandardStreams(Descriptor& descriptor) {
  if (!descriptor.IsOpen()) return false;
  if (descriptor.Get() > STDERR_FILENO) return true;
  const int lifted = fcntl(descriptor.Get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (lifted < 0) return false;
  descriptor.Reset(lifted);
  return true;
}

// The null device for reading or writing, close-on-exec and above the standard streams.
bool OpenNullDevice(int access, Descriptor& descriptor) {
  descriptor.Reset(open("/dev/null", access | O_CLOEXEC));
  return LiftAboveStandardStreams(descriptor);
}

// A pipe, both ends close-on-exec and above the standard streams.
bool OpenPipe(Descriptor& readEnd, Descriptor& writeEnd) {
  int ends[2];
#ifdef __linux__
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd.Reset(ends[0]);
  writeEnd.Reset(ends[1]);
#else
  if (pipe(ends) != 0) return false;
  readEnd.Reset(ends[0]);
  writeEnd.Reset(ends[1]);
  if (fcntl(ends[0], F_SETFD, FD_CLOEXEC) != 0 || fcntl(ends[1], F_SETFD, FD_CLOEXEC) != 0)
    return false;
#endif
  return LiftAboveStandardStreams(readEnd) && LiftAboveStandardStreams(writeEnd);
}

// The argument vector of a program: its path, then each argument in the file-name encoding.
class Arguments {
 public:
  Arguments(const String& path, const std::vector<WString>& arguments) : texts_{path} {
    for (const WString& argument : arguments) texts_.push_back(ToUtf8(argument));
    Point();
  }
  explicit Arguments(std::vector<String> texts) : texts_(std::move(texts)) { Point(); }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  char* const* Vector() const { return pointers_.data(); }

 private:
  void Point() {
    for (String& text : texts_) pointers_.push_back(const_cast<char*>(text.CStr()));
    pointers_.push_back(nullptr);
  }
  std::vector<String> texts_;
  std::vector<char*> pointers_;
};

// Everything a child needs between the fork and the start of its program, prepared before the
// fork, so that the child only makes system calls.
struct ChildSetUp {
  const char* path = nullptr;
  int program = -1;  // the program opened read-only (close-on-exec), or -1
  char* const* argv = nullptr;
  char* const* envp = nullptr;
  int streams[3] = {kInherit, kInherit, kInherit};  // placed on 0, 1, 2; each above 2
  int report = -1;   // write end of the pipe that carries the errno of a failed step
  pid_t parent = 0;  // this process
};

// Reports the errno of a failed set-up step to the parent and ends the child.
[[noreturn]] void FailSetUp(const ChildSetUp& setUp) {
  const int error = errno;
  ssize_t ignored = write(setUp.report, &error, sizeof error);
  (void)ignored;
  _exit(kSetUpFailed);
}

// The child's side of a start: async-signal-safe calls only, since it shares the memory of the
// parent (vfork). It runs with every signal blocked, as the parent blocked them before the fork.
[[noreturn]] void RunChild(const ChildSetUp& setUp) {
  // A process group of its own, so that it can be ended with everything it starts.
  if (setpgid(0, 0) != 0) FailSetUp(setUp);
#ifdef __linux__
  // It dies with this process, however this process ends (strictly, with the thread that starts
  // it, which waits for it to its end). When this process died before the request took hold,
  // the child has no one to run for.
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) FailSetUp(setUp);
  if (getppid() != setUp.parent) _exit(kSetUpFailed);
#endif
  // No handler of this process may run here, in its memory: handled signals go back to their
  // default now, as the start of the program would set them. Ignored signals stay ignored, as
  // across any program start (nohup, and writers that rely on SIGXFSZ being ignored).
  struct sigaction defaults = {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN &&
        current.sa_handler != SIG_DFL)
      sigaction(signal, &defaults, nullptr);
  }
  for (int target = 0; target < 3; ++target) {
    if (setUp.streams[target] != kInherit && dup2(setUp.streams[target], target) < 0)
      FailSetUp(setUp);
  }
  // An empty signal mask, whatever this process blocks.
  sigset_t none;
  sigemptyset(&none);
  if (sigprocmask(SIG_SETMASK, &none, nullptr) != 0) FailSetUp(setUp);
  // The file opened before the fork is the one that runs, whatever stands at its path now. A
  // script cannot run that way (its interpreter would need the closed descriptor): by path.
  if (setUp.program >= 0) {
    fexecve(setUp.program, setUp.argv, setUp.envp);
    if (errno != ENOENT) FailSetUp(setUp);
  }
  execve(setUp.path, setUp.argv, setUp.envp);
  FailSetUp(setUp);
}

// Forks and runs the child's side; the parent's id of the child, or -1. No handler of this
// process runs in the child, which shares its memory until the program starts.
pid_t ForkChild(const ChildSetUp& setUp) {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t child = vfork();
  if (child == 0) RunChild(setUp);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return child;
}

// Collects an ended child, retrying when interrupted; its raw status, or -1 when there is none.
int CollectChild(pid_t child) {
  int status = 0;
  for (;;) {
    if (waitpid(child, &status, 0) == child) return status;
    if (errno != EINTR) return -1;
  }
}

// Starts `path` with `arguments` and the standard streams `streams` (descriptors above 2, or
// kInherit), and registers it. False when nothing runs: the process is ending, a set-up step
// failed (pipe, fork, process group, stream placement) or the program could not be started.
bool StartChild(const String& path, const Arguments& arguments, const int (&streams)[3],
                pid_t* started) {
  if (!Platform::MayStartChildren()) return false;
  Descriptor reportRead, reportWrite;
  if (!OpenPipe(reportRead, reportWrite)) return false;
  // Read-only: no handle to the program that could write it is held for the start.
  const Descriptor program(open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (void (*hook)() = programOpenedHook.load()) hook();
  ChildSetUp setUp;
  setUp.path = path.CStr();
  setUp.program = program.Get();
  setUp.argv = arguments.Vector();
  setUp.envp = environ;
  std::copy(std::begin(streams), std::end(streams), setUp.streams);
  setUp.report = reportWrite.Get();
  setUp.parent = getpid();
  const pid_t child = ForkChild(setUp);
  if (child < 0) return false;
  reportWrite.Close();
  // The report pipe closed at the start of the program gives end of file; a failed step sent
  // its errno first.
  int error = 0;
  ssize_t count;
  do {
    count = read(reportRead.Get(), &error, sizeof error);
  } while (count < 0 && errno == EINTR);
  if (count != 0) {
    CollectChild(child);
    return false;
  }
  Platform::RegisterChild(child);
  *started = child;
  return true;
}

// Waits until `child` has ended without collecting it, so that its id, which is also its
// process group's, stays reserved. False when `deadline` passed first.
bool AwaitEnd(pid_t child, const Deadline& deadline) {
  siginfo_t info;
  if (!deadline) {
    while (waitid(P_PID, child, &info, WEXITED | WNOWAIT) != 0) {
      if (errno != EINTR) break;  // nothing left to wait for
    }
    return true;
  }
  // Short pauses first, as most runs end soon, growing to 50 ms; none goes past the deadline.
  uint32_t pause = 1;
  for (;;) {
    info.si_pid = 0;
    if (waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      if (errno != EINTR) return true;
    } else if (info.si_pid == child) {
      return true;
    }
    const uint32_t left = Platform::MillisecondsLeft(*deadline, pause);
    if (left == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(left));
    pause = std::min<uint32_t>(pause * 2, 50);
  }
}

// Ends the process group of `child` (its id) while the child is not yet collected, and the
// child itself should it have moved to another group.
void EndGroup(pid_t child) {
  if (child <= 1) return;
  kill(-child, SIGKILL);
  kill(child, SIGKILL);
}

// Waits for a registered child until `deadline`, ends it with its group when it runs past, ends
// whatever it left running in its group, and collects it.
RunOutcome FinishChild(pid_t child, const Deadline& deadline) {
  RunOutcome outcome;
  outcome.started = true;
  if (!AwaitEnd(child, deadline)) {
    EndGroup(child);
    AwaitEnd(child, std::nullopt);
    outcome.timedOut = true;
  }
  EndGroup(child);
  const bool endedFromOutside = Platform::UnregisterChild(child);
  const int status = CollectChild(child);
  if (!outcome.timedOut && !endedFromOutside && status != -1)
    outcome.exitCode = DecodeStatus(status);
  return outcome;
}

// How reading a child's output ended.
enum class ReadEnd { kEndOfOutput, kError, kTimedOut };

// Reads `fd` to its end into `bytes`, never waiting past `deadline`.
ReadEnd ReadToEnd(int fd, const Deadline& deadline, String& bytes) {
  char buffer[4096];
  for (;;) {
    if (deadline) {
      const uint32_t left = Platform::MillisecondsLeft(*deadline, INT_MAX);
      if (left == 0) return ReadEnd::kTimedOut;
      pollfd ready = {fd, POLLIN, 0};
      const int count = poll(&ready, 1, static_cast<int>(left));
      if (count == 0) return ReadEnd::kTimedOut;
      if (count < 0) {
        if (errno == EINTR) continue;
        return ReadEnd::kError;
      }
    }
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
      bytes.Append(buffer, static_cast<uint32_t>(count));
    } else if (count == 0) {
      return ReadEnd::kEndOfOutput;
    } else if (errno != EINTR) {
      return ReadEnd::kError;
    }
  }
}

// Starts `path` with `arguments`, its standard output a pipe that is read to its end, standard
// input and error as given (descriptors above 2, or kInherit).
CommandResult Capture(const String& path, const Arguments& arguments, int input, int error,
                      bool errorToOutput, std::chrono::milliseconds limit) {
  CommandResult result;
  Descriptor readEnd, writeEnd;
  if (!OpenPipe(readEnd, writeEnd)) return result;
  const int streams[3] = {input, writeEnd.Get(), errorToOutput ? writeEnd.Get() : error};
  const Deadline deadline = Platform::DeadlineAfter(limit);
  pid_t child;
  if (!StartChild(path, arguments, streams, &child)) return result;
  writeEnd.Close();  // the pipe ends when the child's copies are closed

  String bytes;
  const ReadEnd end = ReadToEnd(readEnd.Get(), deadline, bytes);
  readEnd.Close();  // a child still writing gets a broken pipe instead of blocking
  const RunOutcome outcome = FinishChild(child, deadline);
  result.exitCode = outcome.exitCode;
  result.timedOut = outcome.timedOut || end == ReadEnd::kTimedOut;
  result.completed = end == ReadEnd::kEndOfOutput && !result.timedOut;
  if (result.completed) result.output = FromUtf8(bytes);
  return result;
}

}  // namespace

namespace Platform {

void EndChild(ChildHandle child) { EndGroup(static_cast<pid_t>(child)); }

void SetProgramOpenedHook(void (*hook)()) { programOpenedHook = hook; }

}  // namespace Platform

WString NullDevice() { return u"/dev/null"; }

WString CommandInterpreter() { return u"/bin/sh"; }

WString CommandInterpreterSwitch() { return u"-c"; }

RunOutcome RunProgram(const WString& program, const std::vector<WString>& arguments, bool hidden,
                      std::chrono::milliseconds limit) {
  if (program.IsEmpty() || !Platform::ArgumentsArePassable(arguments)) return RunOutcome();
  const String path = ToUtf8(program);
  if (!IsExistingFile(path)) return RunOutcome();
  // A hidden program shows nothing and asks nothing: its output goes nowhere, as a hidden
  // window's would, and it reads no terminal (from a process group of its own it would be
  // stopped for that).
  Descriptor input, output;
  int streams[3] = {kInherit, kInherit, kInherit};
  if (hidden) {
    if (!OpenNullDevice(O_RDONLY, input) || !OpenNullDevice(O_WRONLY, output)) return RunOutcome();
    streams[0] = input.Get();
    streams[1] = streams[2] = output.Get();
  }
  pid_t child;
  if (!StartChild(path, Arguments(path, arguments), streams, &child)) return RunOutcome();
  return FinishChild(child, Platform::DeadlineAfter(limit));
}

RunOutcome RunProgram(const WString& program, const WString& parameters, bool hidden,
                      std::chrono::milliseconds limit) {
  return RunProgram(program, SplitWindowsCommandLine(parameters), hidden, limit);
}

CommandResult RunCaptured(const WString& commandLine, StderrRedirect redirect) {
  if (commandLine.IsEmpty()) return CommandResult();
  const String shell = ToUtf8(CommandInterpreter());
  const Arguments arguments(
      {shell, ToUtf8(CommandInterpreterSwitch()), ToUtf8(commandLine + RedirectSuffix(redirect))});
  return Capture(shell, arguments, kInherit, kInherit, false, kNoTimeLimit);
}

CommandResult RunProgramCaptured(const WString& program, const std::vector<WString>& arguments,
                                 StderrRedirect redirect, std::chrono::milliseconds limit) {
  if (program.IsEmpty() || !Platform::ArgumentsArePassable(arguments)) return CommandResult();
  const String path = ToUtf8(program);
  if (!IsExistingFile(path)) return CommandResult();
  Descriptor input, discarded;
  if (!OpenNullDevice(O_RDONLY, input)) return CommandResult();
  if (redirect == StderrRedirect::ToNull && !OpenNullDevice(O_WRONLY, discarded))
    return CommandResult();
  const int error = discarded.IsOpen() ? discarded.Get() : kInherit;
  return Capture(path, Arguments(path, arguments), input.Get(), error,
                 redirect == StderrRedirect::ToOutput, limit);
}

CommandResult RunProgramCaptured(const WString& program, const WString& parameters,
                                 StderrRedirect redirect, std::chrono::milliseconds limit) {
  return RunProgramCaptured(program, SplitWindowsCommandLine(parameters), redirect, limit);
}

}  // namespace Vadu
