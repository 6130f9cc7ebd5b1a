// A child process that shows log text in a console of its own, fed through a pipe on its
// standard input.
#pragma once

#include <cstdint>

#include "support/string_base.h"

namespace Vadu {

// The argument that tells the started program to act as the receiving console.
constexpr const char* kNewConsoleLoggerArgument = "-vadu_log_new_console_logger_arg";

class PipeConsole {
 public:
  // Starts `program` with the single argument kNewConsoleLoggerArgument, its standard input
  // reading from a new pipe and its standard output that of this process. On Windows the child
  // gets no console of ours (it opens its own) and its window title is `title`; POSIX has no
  // window to name. When the start fails there is no pipe and nothing is sent.
  PipeConsole(const WString& program, const WString& title);
  // Closes the pipe and terminates the child.
  ~PipeConsole();
  PipeConsole(const PipeConsole&) = delete;
  PipeConsole& operator=(const PipeConsole&) = delete;

  bool IsConnected() const { return pipe_ != -1; }
  // One write of the bytes, not retried when partial. When the child has gone (broken pipe) the
  // pipe is closed and the child terminated; later sends are dropped.
  void Send(const String& bytes);

 private:
  void Disconnect();

  intptr_t pipe_ = -1;     // write end
  intptr_t process_ = -1;  // the child (Windows: process handle; POSIX: process id)
};

}  // namespace Vadu
