#include "support/command_line.h"

#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

namespace Vadu {

std::vector<WString> SystemArguments(int, const char* const*) {
  std::vector<WString> arguments;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!list) return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(WString(reinterpret_cast<const char16_t*>(list[i])));
  LocalFree(list);
  return arguments;
}

}  // namespace Vadu
