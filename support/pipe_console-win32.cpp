#include <windows.h>

#include <vector>

#include "support/pipe_console.h"

namespace Vadu {

PipeConsole::PipeConsole(const WString& program, const WString& title) {
  if (program.IsEmpty()) return;
  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &security, 0)) return;
  // Only the read end goes to the child: a child holding the write end as well would never see
  // the pipe end.
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);

  WString command = WString(u"\"") + program + u"\" " + FromUtf8(kNewConsoleLoggerArgument);
  std::vector<wchar_t> commandLine(command.Length() + 1, L'\0');
  for (uint32_t i = 0; i < command.Length(); ++i) commandLine[i] = command[i];
  std::vector<wchar_t> windowTitle(title.Length() + 1, L'\0');
  for (uint32_t i = 0; i < title.Length(); ++i) windowTitle[i] = title[i];

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.lpTitle = windowTitle.data();
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_SHOWNOACTIVATE;
  startup.hStdInput = readEnd;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  PROCESS_INFORMATION started = {};
  BOOL ok =
      CreateProcessW(reinterpret_cast<const wchar_t*>(program.CStr()), commandLine.data(), nullptr,
                     nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup, &started);
  CloseHandle(readEnd);
  if (!ok) {
    CloseHandle(writeEnd);
    return;
  }
  CloseHandle(started.hThread);
  pipe_ = reinterpret_cast<intptr_t>(writeEnd);
  process_ = reinterpret_cast<intptr_t>(started.hProcess);
}

PipeConsole::~PipeConsole() { Disconnect(); }

void PipeConsole::Disconnect() {
  if (pipe_ != -1) CloseHandle(reinterpret_cast<HANDLE>(pipe_));
  pipe_ = -1;
  if (process_ != -1) {
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    TerminateProcess(process, 0);
    CloseHandle(process);
  }
  process_ = -1;
}

void PipeConsole::Send(const String& bytes) {
  if (pipe_ == -1 || bytes.IsEmpty()) return;
  DWORD written = 0;
  if (WriteFile(reinterpret_cast<HANDLE>(pipe_), bytes.Data(), bytes.Length(), &written, nullptr))
    return;
  // A pipe whose reader has gone reports either code.
  DWORD error = GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) Disconnect();
}

}  // namespace Vadu
