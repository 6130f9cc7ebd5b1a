#include "support/process.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Vadu {

namespace {

// True when `path` names something that is not a directory.
bool IsExistingFile(const String& path) {
  struct stat info;
  return stat(path.CStr(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// The exit code of a child that ended normally, else -1.
int32_t DecodeStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Waits for the child and returns its decoded status (-1 when it cannot be had).
int32_t WaitForChild(pid_t child) {
  int status = 0;
  for (;;) {
    if (waitpid(child, &status, 0) == child) return DecodeStatus(status);
    if (errno != EINTR) return -1;
  }
}

// Starts `path` with the parameter text split into arguments; the program path is argv[0].
bool Spawn(const String& path, const WString& parameters, const posix_spawn_file_actions_t* actions,
           pid_t* child) {
  std::vector<String> arguments{path};
  for (const WString& argument : SplitWindowsCommandLine(parameters))
    arguments.push_back(ToUtf8(argument));
  std::vector<char*> argv;
  for (String& argument : arguments) argv.push_back(const_cast<char*>(argument.CStr()));
  argv.push_back(nullptr);
  return posix_spawn(child, path.CStr(), actions, nullptr, argv.data(), environ) == 0;
}

}  // namespace

WString NullDevice() { return u"/dev/null"; }

WString CommandInterpreter() { return u"/bin/sh"; }

WString CommandInterpreterSwitch() { return u"-c"; }

bool RunAndWait(const WString& program, const WString& parameters, bool hidden) {
  if (program.IsEmpty()) return false;
  const String path = ToUtf8(program);
  if (!IsExistingFile(path)) return false;
  // A hidden program shows nothing: its output goes nowhere, as a hidden window's would.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (hidden) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t child;
  const bool started = Spawn(path, parameters, &actions, &child);
  posix_spawn_file_actions_destroy(&actions);
  return started && WaitForChild(child) == 0;
}

CommandResult RunCaptured(const WString& commandLine, StderrRedirect redirect) {
  CommandResult result;
  if (commandLine.IsEmpty()) return result;
  const String command = ToUtf8(commandLine + RedirectSuffix(redirect));
  FILE* stream = popen(command.CStr(), "r");
  if (!stream) return result;
  String bytes;
  char buffer[1024];
  for (;;) {
    memset(buffer, 0, sizeof buffer);
    if (!fgets(buffer, sizeof buffer, stream)) break;
    bytes.Append(buffer);  // a longer line comes in several pieces
  }
  result.completed = !ferror(stream);
  const int status = pclose(stream);
  result.exitCode = status == -1 ? -1 : DecodeStatus(status);
  if (result.completed) result.output = FromUtf8(bytes);
  return result;
}

CommandResult RunProgramCaptured(const WString& program, const WString& parameters,
                                 StderrRedirect redirect) {
  CommandResult result;
  if (program.IsEmpty()) return result;
  const String path = ToUtf8(program);
  if (!IsExistingFile(path)) return result;

  int ends[2];
  if (pipe(ends) != 0) return result;
  // Only the child's duplicates of the write end survive the start of the program.
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  fcntl(ends[1], F_SETFD, FD_CLOEXEC);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  if (redirect == StderrRedirect::ToOutput)
    posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
  else if (redirect == StderrRedirect::ToNull)
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child;
  const bool started = Spawn(path, parameters, &actions, &child);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (!started) {
    close(ends[0]);
    return result;
  }

  String bytes;
  bool readAll = true;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(ends[0], buffer, sizeof buffer);
    if (count > 0) {
      bytes.Append(buffer, static_cast<uint32_t>(count));
    } else if (count == 0) {
      break;
    } else if (errno != EINTR) {
      readAll = false;
      break;
    }
  }
  close(ends[0]);  // a child still writing gets a broken pipe instead of blocking
  result.exitCode = WaitForChild(child);
  result.completed = readAll;
  if (readAll) result.output = FromUtf8(bytes);
  return result;
}

}  // namespace Vadu
