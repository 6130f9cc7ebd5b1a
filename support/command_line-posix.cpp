#include "support/command_line.h"

namespace Vadu {

std::vector<WString> SystemArguments(int argc, const char* const* argv) {
  std::vector<WString> arguments;
  if (!argv) return arguments;
  for (int i = 1; i < argc; ++i)
    if (argv[i]) arguments.push_back(FromUtf8(String(argv[i])));
  return arguments;
}

}  // namespace Vadu
