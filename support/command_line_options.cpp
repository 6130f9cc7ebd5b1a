#include "support/command_line_options.h"

#include <algorithm>
#include <set>

#include "support/command_line.h"

namespace Vadu {

namespace {

constexpr uint32_t npos = WString::npos;

}  // namespace

void CommandLineOptions::SetDefinitions(const std::vector<OptionDefinition>& definitions) {
  definitions_ = definitions;
  ignoredPrefixes_.clear();
  ignoredPrefixes_.push_back(u"-psn_");
}

void CommandLineOptions::Parse(int argc, const char* const* argv) {
  // A host that loads the parser hands over its own vector behind the word "dll".
  if (argc >= 1 && argv && FromUtf8(String(argv[0])) == u"dll") {
    std::vector<WString> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(FromUtf8(String(argv[i])));
    ParseArguments(arguments);
    return;
  }
  ParseArguments(SystemArguments(argc, argv));
}

void CommandLineOptions::ParseArguments(const std::vector<WString>& arguments) {
  values_.clear();
  freeWords_.clear();
  unknownWords_.clear();
  repeatedOptions_.clear();
  given_.clear();
  joinedLine_ = JoinArguments(arguments);
  TakeFreeTokens(TakeDefinedOptions(arguments));
}

WString CommandLineOptions::JoinArguments(const std::vector<WString>& arguments) {
  WString line;
  for (size_t k = 0; k < arguments.size(); ++k) {
    if (k) line += u' ';
    if (arguments[k].Contains(u" "))
      line += u"\"" + arguments[k] + u"\"";
    else
      line += arguments[k];
  }
  return line;
}

std::vector<WString> CommandLineOptions::TakeDefinedOptions(const std::vector<WString>& arguments) {
  std::vector<WString> rest;
  std::set<WString> taken;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const OptionDefinition* definition = DefinitionNamed(arguments[k]);
    // A repeated option is left to the free tokens; the first occurrence keeps its value.
    if (!definition || !taken.insert(definition->name).second) {
      rest.push_back(arguments[k]);
      continue;
    }
    given_.push_back(definition->name);
    WString value;
    // An argument that begins with "-" is the next option, not a value.
    if (definition->takesValue && k + 1 < arguments.size() && !arguments[k + 1].StartsWith(u"-"))
      value = arguments[++k];
    Insert(definition->name, value);
  }
  return rest;
}

void CommandLineOptions::TakeFreeTokens(const std::vector<WString>& arguments) {
  for (const WString& token : arguments) {
    if (token.IsEmpty()) continue;
    WString name = token, value;
    const uint32_t equals = token.Find(u'=');
    if (equals != npos) {
      name = token.Substring(0, equals);
      value = token.Substring(equals + 1);
    }
    Insert(name, value);
    bool ignored = false;
    for (const WString& prefix : ignoredPrefixes_) ignored = ignored || name.StartsWith(prefix);
    if (ignored) continue;
    freeWords_.push_back(name);
    const OptionDefinition* definition = DefinitionOfToken(name);
    if (!definition)
      unknownWords_.push_back(token);
    else if (std::find(given_.begin(), given_.end(), definition->name) != given_.end())
      NoteRepeated(definition->name);
    else
      given_.push_back(definition->name);
  }
}

const OptionDefinition* CommandLineOptions::DefinitionOfToken(const WString& name) const {
  if (name.IsEmpty()) return nullptr;
  if (const OptionDefinition* definition = DefinitionNamed(name)) return definition;
  return DefinitionNamed(u"-" + name);
}

void CommandLineOptions::NoteRepeated(const WString& name) {
  if (std::find(repeatedOptions_.begin(), repeatedOptions_.end(), name) == repeatedOptions_.end())
    repeatedOptions_.push_back(name);
}

const OptionDefinition* CommandLineOptions::DefinitionNamed(const WString& argument) const {
  for (const OptionDefinition& definition : definitions_)
    if (!definition.name.IsEmpty() && definition.name == argument) return &definition;
  return nullptr;
}

void CommandLineOptions::Insert(const WString& name, const WString& value) {
  values_.emplace(name, value);  // an earlier value stays
}

const WString* CommandLineOptions::Find(const WString& name) const {
  auto found = values_.find(name);
  if (found == values_.end() && name.StartsWith(u"-")) found = values_.find(name.Substring(1));
  return found == values_.end() ? nullptr : &found->second;
}

bool CommandLineOptions::HasOption(const WString& name) const { return Find(name) != nullptr; }

WString CommandLineOptions::GetOptionValue(const WString& name) const {
  const WString* value = Find(name);
  return value ? *value : WString();
}

}  // namespace Vadu
