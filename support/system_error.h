// The system's own words for why a call failed, for messages and log records.
#pragma once

#include "support/string_base.h"

namespace Vadu {

// The code of the last failed system call on this thread: errno on POSIX, GetLastError() on
// Windows. Read it right after the failure: later calls may change it.
int LastSystemErrorCode();

// Sets that code again.
void SetLastSystemErrorCode(int code);

// Holds the last error code from its making to its end, for the cleanup and look-ups made after a
// failure: the failure's reason is what callers report, not theirs.
class KeptSystemError {
 public:
  KeptSystemError() : code_(LastSystemErrorCode()) {}
  ~KeptSystemError() { SetLastSystemErrorCode(code_); }
  KeptSystemError(const KeptSystemError&) = delete;
  KeptSystemError& operator=(const KeptSystemError&) = delete;

 private:
  int code_;
};

// For a step that says why it failed: puts the system's text for the last error into `why` unless
// it holds a reason already (the first failure's counts). Always false, for
// `return RecordSystemFailure(why);`.
bool RecordSystemFailure(String* why);

// The system's text for an error code (strerror on POSIX, FormatMessageW on Windows, as UTF-8,
// without a final full stop or line break); "error <code>" when the system has none.
String SystemErrorText(int code);

// SystemErrorText(LastSystemErrorCode()).
String LastSystemErrorText();

// Why the file at `path` cannot be read, found by trying to open it: the system's text for the
// failure, "it is a folder", "it is not a regular file"; empty when it opens for reading.
String WhyUnreadable(const WString& path);

}  // namespace Vadu
