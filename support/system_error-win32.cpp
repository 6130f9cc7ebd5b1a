#include <windows.h>

#include <string>

#include "support/system_error.h"

namespace Vadu {

int LastSystemErrorCode() { return static_cast<int>(GetLastError()); }

void SetLastSystemErrorCode(int code) { SetLastError(static_cast<DWORD>(code)); }

String SystemErrorText(int code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string wide;
  if (length && text) wide.assign(reinterpret_cast<const char16_t*>(text), length);
  if (text) LocalFree(text);
  // Without the line break and the full stop the system ends its texts with.
  while (!wide.empty() && (wide.back() == u'\r' || wide.back() == u'\n' || wide.back() == u' ' ||
                           wide.back() == u'.'))
    wide.pop_back();
  if (wide.empty()) return String("error ") + String::FromNumber(code);
  return ToUtf8(WString(wide.c_str(), static_cast<uint32_t>(wide.size())));
}

}  // namespace Vadu
