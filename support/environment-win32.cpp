#include <stdlib.h>
#include <windows.h>

#include "support/environment.h"

namespace Vadu {

namespace {
const wchar_t* W(const WString& text) { return reinterpret_cast<const wchar_t*>(text.CStr()); }
}  // namespace

WString GetEnvironmentValue(const WString& name) {
  const wchar_t* value = _wgetenv(W(name));
  return value ? WString(reinterpret_cast<const char16_t*>(value)) : WString();
}

bool SetEnvironmentValue(const WString& name, const WString& value) {
  // _wputenv_s keeps the C runtime's copy and the system's environment block in step, so both
  // this process and the programs it starts see the change.
  return _wputenv_s(W(name), W(value)) == 0;
}

}  // namespace Vadu
