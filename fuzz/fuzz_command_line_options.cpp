// Parses arbitrary argument lists with the utility's option table. The input is split at zero
// bytes into UTF-8 arguments. Checks what must hold for any input: every defined option the
// parser reports is found under both spellings, and no stored value carries blanks at its ends.
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
    const WString bare = definition.name.Substring(1);
    if (options.HasOption(definition.name) != options.HasOption(bare)) std::abort();
    if (!(options.GetOptionValue(definition.name) == options.GetOptionValue(bare))) std::abort();
    if (definition.takesValue && options.Values().count(definition.name)) {
      const WString& value = options.Values().at(definition.name);
      if (!(value.Trim() == value)) std::abort();
    }
  }
  return 0;
}
