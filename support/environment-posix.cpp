#include <stdlib.h>

#include "support/environment.h"

namespace Vadu {

WString GetEnvironmentValue(const WString& name) {
  const char* value = getenv(ToUtf8(name).CStr());
  return value ? FromUtf8(String(value)) : WString();
}

bool SetEnvironmentValue(const WString& name, const WString& value) {
  String narrowName = ToUtf8(name);
  if (value.IsEmpty()) return unsetenv(narrowName.CStr()) == 0;
  return setenv(narrowName.CStr(), ToUtf8(value).CStr(), 1) == 0;
}

}  // namespace Vadu
