// Parses arbitrary argument lists with the utility's option table. The input is split at zero
// bytes into UTF-8 arguments. Checks what must hold for any input: a lookup with the dash finds
// the option stored with or without it; every stored value is an argument whole or the text after
// the first "=" of one (nothing is cut out of an argument or joined across arguments); an option
// given as a whole argument (and not right after an option that takes a value) is present, with
// the argument after it as its value when it takes one and that argument does not begin with "-",
// and an empty value otherwise.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "src/dispatch.h"
#include "support/command_line_options.h"

using Vadu::WString;

namespace {

std::vector<WString> SplitAtZeroBytes(const uint8_t* data, size_t size) {
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
  return arguments;
}

bool IsWholeArgumentOrItsValuePart(const WString& value, const std::vector<WString>& arguments) {
  if (value.IsEmpty()) return true;
  for (const WString& argument : arguments) {
    const uint32_t equals = argument.Find(u'=');
    if (argument == value || (equals != WString::npos && argument.Substring(equals + 1) == value))
      return true;
  }
  return false;
}

// The argument names an option that takes a value: the argument after it may be that value.
bool NamesValuedOption(const WString& argument,
                       const std::vector<Vadu::OptionDefinition>& definitions) {
  for (const auto& definition : definitions)
    if (definition.takesValue && definition.name == argument) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::vector<WString> arguments = SplitAtZeroBytes(data, size);

  Vadu::CommandLineOptions options;
  const auto definitions = Zentu::FrontEndOptionDefinitions();
  options.SetDefinitions(definitions);
  options.ParseArguments(arguments);
  const auto& values = options.Values();

  for (const auto& [name, value] : values)
    if (!IsWholeArgumentOrItsValuePart(value, arguments)) std::abort();

  for (const auto& definition : definitions) {
    const WString& name = definition.name;
    // Lookups drop a leading "-" only: "/?" is found as itself, never as "?".
    const WString bare = name.StartsWith(u"-") ? name.Substring(1) : name;
    const bool stored = values.count(name) || values.count(bare);
    if (options.HasOption(name) != stored) std::abort();
    const WString expected = values.count(name)   ? values.at(name)
                             : values.count(bare) ? values.at(bare)
                                                  : WString();
    if (!(options.GetOptionValue(name) == expected)) std::abort();

    const auto first = std::find(arguments.begin(), arguments.end(), name);
    if (first == arguments.end()) continue;
    // "-outdir /?" gives "/?" to -outdir as its value: the help spelling is then no option.
    if (first != arguments.begin() && NamesValuedOption(*(first - 1), definitions)) continue;
    const auto next = first + 1;
    const bool valued = definition.takesValue && next != arguments.end() && !next->StartsWith(u"-");
    if (!values.count(name) || !(values.at(name) == (valued ? *next : WString()))) std::abort();
  }
  return 0;
}
