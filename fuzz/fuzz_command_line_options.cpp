// Parses arbitrary argument lists with the utility's option table. The input is split at zero
// bytes into UTF-8 arguments. Checks what must hold for any input: a lookup with the dash finds
// the option stored with or without it, and no defined option's value has blanks at its ends.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "src/dispatch.h"
#include "support/command_line_options.h"

using Vadu::WString;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::vector<WString> arguments;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      Vadu::String piece(reinterpret_cast<const char*>(data + start),
                         static_cast<uint32_t>(i - start));
      arguments.push_back(Vadu::FromUtf8(piece));
      start = i + 1;
    }
  }

  Vadu::CommandLineOptions options;
  const auto definitions = Zentu::FrontEndOptionDefinitions();
  options.SetDefinitions(definitions);
  options.ParseArguments(arguments);

  for (const auto& definition : definitions) {
    const WString& name = definition.name;
    const WString bare = name.Substring(1);
    const auto& values = options.Values();
    const bool stored = values.count(name) || values.count(bare);
    if (options.HasOption(name) != stored) std::abort();
    const WString expected = values.count(name)   ? values.at(name)
                             : values.count(bare) ? values.at(bare)
                                                  : WString();
    if (!(options.GetOptionValue(name) == expected)) std::abort();
    if (definition.takesValue && values.count(name) && !(values.at(name).Trim() == values.at(name)))
      std::abort();
  }
  return 0;
}
