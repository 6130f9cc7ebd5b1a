#include "support/process.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

namespace Vadu {

namespace {

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

}  // namespace

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

bool RunAndWait(const WString& program, const WString& parameters, bool hidden) {
  if (program.IsEmpty() || !IsExistingFile(program)) return false;
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
  if (!ShellExecuteExW(&info)) return false;
  // Without a process handle the exit code cannot be known.
  if (info.hProcess == nullptr) return false;
  DWORD exitCode = static_cast<DWORD>(-1);
  WaitForSingleObject(info.hProcess, INFINITE);
  if (!GetExitCodeProcess(info.hProcess, &exitCode)) exitCode = static_cast<DWORD>(-1);
  CloseHandle(info.hProcess);
  return exitCode == 0;
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
                                 StderrRedirect redirect) {
  CommandResult result;
  if (program.IsEmpty() || !IsExistingFile(program)) return result;

  SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &security, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // the child gets the write end only

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
  const BOOL started = CreateProcessW(W(program), writable.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  // The child holds its own copies now; the pipe ends when the child's copy of it is closed.
  if (error != writeEnd) CloseIfOpen(error);
  CloseIfOpen(input);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return result;
  }
  CloseHandle(process.hThread);

  String bytes;
  bool readAll = true;
  char buffer[4096];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(readEnd, buffer, sizeof buffer, &count, nullptr)) {
      readAll = GetLastError() == ERROR_BROKEN_PIPE;  // the child's end was closed
      break;
    }
    bytes.Append(buffer, count);
  }
  CloseHandle(readEnd);  // a child still writing fails instead of blocking
  DWORD exitCode = static_cast<DWORD>(-1);
  WaitForSingleObject(process.hProcess, INFINITE);
  if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = static_cast<DWORD>(-1);
  CloseHandle(process.hProcess);

  result.exitCode = static_cast<int32_t>(exitCode);
  result.completed = readAll;
  // Read as text, like the command pipe: carriage-return/line-feed pairs become line feeds.
  if (readAll) result.output = FromUtf8(bytes.ReplaceAll("\r\n", "\n"));
  return result;
}

}  // namespace Vadu
