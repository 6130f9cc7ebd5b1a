#include <cerrno>
#include <cstring>

#include "support/system_error.h"

namespace Vadu {

int LastSystemErrorCode() { return errno; }

void SetLastSystemErrorCode(int code) { errno = code; }

String SystemErrorText(int code) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static text instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  const char* text = strerror_r(code, buffer, sizeof buffer);
#else
  const char* text = strerror_r(code, buffer, sizeof buffer) == 0 ? buffer : nullptr;
#endif
  if (!text || !*text) return String("error ") + String::FromNumber(code);
  return String(text);
}

}  // namespace Vadu
