#include "support/process.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include <atomic>
#include <random>
#include <string>

#include "support/process_children.h"

namespace Vadu {

namespace {

using Platform::Deadline;

// The exit code of a child ended from here (time limit, EndChildProcesses); runners report -1.
constexpr UINT kEndedExitCode = 1;

const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }

// True when `path` names something that is not a directory.
bool IsExistingFile(const WString& path) {
  const DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An inheritable handle to the null device, for reading or writing.
HANDLE OpenNullDevice(DWORD access) {
  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING,
                     0, nullptr);
}

// An inheritable duplicate of this process's standard error, or null when it has none.
HANDLE InheritableStandardError() {
  HANDLE original = GetStdHandle(STD_ERROR_HANDLE);
  HANDLE duplicate = nullptr;
  if (original == nullptr || original == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &duplicate, 0, TRUE,
                       DUPLICATE_SAME_ACCESS))
    return nullptr;
  return duplicate;
}

void CloseIfOpen(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

// A started child: its process, and the job that holds it with whatever it starts.
struct RunningChild {
  HANDLE process = nullptr;
  HANDLE job = nullptr;  // null when the child could not be put in a job of its own
};

Platform::ChildHandle HandleOf(RunningChild& child) {
  return reinterpret_cast<Platform::ChildHandle>(&child);
}

// A job that ends its processes when its last handle is closed, which happens at the latest
// when this process ends, however it ends. Null when the system refuses one. Not inheritable,
// so that no child keeps it open.
HANDLE NewKillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  memset(&limits, 0, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// Puts a started child in a job of its own and registers it. Without a job (Windows 7 when this
// process is itself in a job that forbids breaking away) the child still runs, ended alone.
void Adopt(RunningChild& child) {
  child.job = NewKillOnCloseJob();
  if (child.job != nullptr && !AssignProcessToJobObject(child.job, child.process)) {
    CloseHandle(child.job);
    child.job = nullptr;
  }
  Platform::RegisterChild(HandleOf(child));
}

// Waits for `object` until `deadline`; false when the deadline passed first.
bool AwaitSignal(HANDLE object, const Deadline& deadline) {
  for (;;) {
    const DWORD wait = deadline ? Platform::MillisecondsLeft(*deadline, INFINITE - 1) : INFINITE;
    if (WaitForSingleObject(object, wait) != WAIT_TIMEOUT) return true;
    if (Platform::MillisecondsLeft(*deadline, 1) == 0) return false;
  }
}

// Waits for an adopted child until `deadline`, ends it with its job when it runs past, ends
// whatever it left running in its job, and releases it.
RunOutcome FinishChild(RunningChild& child, const Deadline& deadline) {
  RunOutcome outcome;
  outcome.started = true;
  if (!AwaitSignal(child.process, deadline)) {
    Platform::EndChild(HandleOf(child));
    AwaitSignal(child.process, std::nullopt);
    outcome.timedOut = true;
  }
  const bool endedFromOutside = Platform::UnregisterChild(HandleOf(child));
  DWORD exitCode = 0;
  if (!outcome.timedOut && !endedFromOutside && GetExitCodeProcess(child.process, &exitCode))
    outcome.exitCode = static_cast<int32_t>(exitCode);
  CloseIfOpen(child.job);  // ends what is left in it
  CloseHandle(child.process);
  return outcome;
}

// A pipe for a child's output: the read end overlapped, so that a time limit can cut a read
// short; the write end inheritable. The name is unique and the pipe takes one client, which is
// the write end opened here at once (a process that came first makes the open fail).
bool OpenOutputPipe(HANDLE* readEnd, HANDLE* writeEnd) {
  static std::atomic<unsigned> serial{0};
  const std::wstring name = L"\\\\.\\pipe\\zentu-output-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(serial++) + L"-" +
                            std::to_wstring(std::random_device()());
  *readEnd = CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 65536,
      0, nullptr);
  if (*readEnd == INVALID_HANDLE_VALUE) return false;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  *writeEnd = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
  if (*writeEnd == INVALID_HANDLE_VALUE) {
    CloseHandle(*readEnd);
    return false;
  }
  return true;
}

// How reading a child's output ended.
enum class ReadEnd { kEndOfOutput, kError, kTimedOut };

// How a finished overlapped read or its start failed: the writers closed the pipe, or an error.
ReadEnd FailedRead(DWORD error) {
  return error == ERROR_BROKEN_PIPE ? ReadEnd::kEndOfOutput : ReadEnd::kError;
}

// Reads the pipe to its end into `bytes`, never waiting past `deadline`.
ReadEnd ReadToEnd(HANDLE pipe, const Deadline& deadline, String& bytes) {
  OVERLAPPED overlapped;
  memset(&overlapped, 0, sizeof overlapped);
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return ReadEnd::kError;
  char buffer[4096];
  ReadEnd end;
  for (;;) {
    if (deadline && Platform::MillisecondsLeft(*deadline, 1) == 0) {
      end = ReadEnd::kTimedOut;
      break;
    }
    if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) {
        end = FailedRead(error);
        break;
      }
    }
    DWORD count = 0;
    if (!AwaitSignal(overlapped.hEvent, deadline)) {
      CancelIo(pipe);
      GetOverlappedResult(pipe, &overlapped, &count, TRUE);  // the read is over before it goes
      end = ReadEnd::kTimedOut;
      break;
    }
    if (!GetOverlappedResult(pipe, &overlapped, &count, FALSE)) {
      end = FailedRead(GetLastError());
      break;
    }
    bytes.Append(buffer, count);
  }
  CloseHandle(overlapped.hEvent);
  return end;
}

}  // namespace

namespace Platform {

void EndChild(ChildHandle handle) {
  RunningChild& child = *reinterpret_cast<RunningChild*>(handle);
  if (child.job == nullptr || !TerminateJobObject(child.job, kEndedExitCode))
    TerminateProcess(child.process, kEndedExitCode);
}

}  // namespace Platform

WString NullDevice() { return u"nul"; }

WString CommandInterpreter() {
  // The interpreter the C runtime's command pipe starts.
  wchar_t path[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"ComSpec", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return WString(reinterpret_cast<const char16_t*>(path));
  length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return u"cmd.exe";
  return WString(reinterpret_cast<const char16_t*>(path)) + u"\\cmd.exe";
}

WString CommandInterpreterSwitch() { return u"/c"; }

RunOutcome RunProgram(const WString& program, const WString& parameters, bool hidden,
                      std::chrono::milliseconds limit) {
  if (program.IsEmpty() || !IsExistingFile(program)) return RunOutcome();
  if (!Platform::MayStartChildren()) return RunOutcome();
  const Deadline deadline = Platform::DeadlineAfter(limit);
  SHELLEXECUTEINFOW info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = nullptr;
  info.lpVerb = L"open";
  info.lpFile = W(program);
  info.lpParameters = W(parameters);
  info.lpDirectory = nullptr;
  info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return RunOutcome();
  // Without a process handle the exit code cannot be known.
  if (info.hProcess == nullptr) return RunOutcome();
  // The shell starts the program running: it joins its job right after, before it is likely to
  // have started anything of its own.
  RunningChild child;
  child.process = info.hProcess;
  Adopt(child);
  return FinishChild(child, deadline);
}

RunOutcome RunProgram(const WString& program, const std::vector<WString>& arguments, bool hidden,
                      std::chrono::milliseconds limit) {
  if (!Platform::ArgumentsArePassable(arguments)) return RunOutcome();
  return RunProgram(program, JoinWindowsArguments(arguments), hidden, limit);
}

CommandResult RunCaptured(const WString& commandLine, StderrRedirect redirect) {
  CommandResult result;
  if (commandLine.IsEmpty()) return result;
  // The wide pipe keeps characters outside the ANSI code page intact.
  const WString command = commandLine + RedirectSuffix(redirect);
  FILE* stream = _wpopen(W(command), L"rt");
  if (!stream) return result;
  String bytes;
  char buffer[1024];
  for (;;) {
    memset(buffer, 0, sizeof buffer);
    if (!fgets(buffer, sizeof buffer, stream)) break;
    bytes.Append(buffer);  // a longer line comes in several pieces
  }
  result.completed = !ferror(stream);
  result.exitCode = _pclose(stream);
  if (result.completed) result.output = FromUtf8(bytes);
  return result;
}

CommandResult RunProgramCaptured(const WString& program, const WString& parameters,
                                 StderrRedirect redirect, std::chrono::milliseconds limit) {
  CommandResult result;
  if (program.IsEmpty() || !IsExistingFile(program)) return result;
  if (!Platform::MayStartChildren()) return result;
  const Deadline deadline = Platform::DeadlineAfter(limit);

  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!OpenOutputPipe(&readEnd, &writeEnd)) return result;
  HANDLE input = OpenNullDevice(GENERIC_READ);
  HANDLE error = nullptr;
  if (redirect == StderrRedirect::ToOutput)
    error = writeEnd;
  else if (redirect == StderrRedirect::ToNull)
    error = OpenNullDevice(GENERIC_WRITE);
  else
    error = InheritableStandardError();

  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = writeEnd;
  startup.hStdError = error;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  // The program is named twice: as the file to start, so that no search path is consulted, and
  // quoted as the first word of the command line that the program splits into its arguments.
  WString commandLine = QuoteWindowsArgument(program) + u" " + parameters;
  std::vector<wchar_t> writable(commandLine.Length() + 1, 0);
  memcpy(writable.data(), commandLine.CStr(), commandLine.Length() * sizeof(wchar_t));
  // Suspended until it is in its job, so that nothing it starts escapes the job.
  const BOOL started = CreateProcessW(W(program), writable.data(), nullptr, nullptr, TRUE,
                                      CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
  // The child holds its own copies now; the pipe ends when the child's copy of it is closed.
  if (error != writeEnd) CloseIfOpen(error);
  CloseIfOpen(input);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return result;
  }
  RunningChild child;
  child.process = process.hProcess;
  Adopt(child);
  const bool resumed = ResumeThread(process.hThread) != static_cast<DWORD>(-1);
  CloseHandle(process.hThread);
  if (!resumed) {
    // A child that cannot run is ended rather than left suspended.
    Platform::EndChild(HandleOf(child));
    FinishChild(child, std::nullopt);
    CloseHandle(readEnd);
    return result;
  }

  String bytes;
  const ReadEnd end = ReadToEnd(readEnd, deadline, bytes);
  CloseHandle(readEnd);  // a child still writing fails instead of blocking
  const RunOutcome outcome = FinishChild(child, deadline);
  result.exitCode = outcome.exitCode;
  result.timedOut = outcome.timedOut || end == ReadEnd::kTimedOut;
  result.completed = end == ReadEnd::kEndOfOutput && !result.timedOut;
  // Read as text, like the command pipe: carriage-return/line-feed pairs become line feeds.
  if (result.completed) result.output = FromUtf8(bytes.ReplaceAll("\r\n", "\n"));
  return result;
}

CommandResult RunProgramCaptured(const WString& program, const std::vector<WString>& arguments,
                                 StderrRedirect redirect, std::chrono::milliseconds limit) {
  if (!Platform::ArgumentsArePassable(arguments)) return CommandResult();
  return RunProgramCaptured(program, JoinWindowsArguments(arguments), redirect, limit);
}

}  // namespace Vadu
