#include "support/command_line_options.h"

#include "support/command_line.h"

namespace Vadu {

namespace {

constexpr uint32_t npos = WString::npos;

bool IsBlank(const WString& text) { return text.Trim().IsEmpty(); }

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
  joinedLine_ = JoinArguments(arguments);
  TakeFreeTokens(TakeDefinedOptions(u" " + joinedLine_ + u" "));
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

WString CommandLineOptions::TakeDefinedOptions(WString text) {
  // Each known option is looked for once, as a whole word; a repeated option stays in the text
  // and becomes a free token.
  for (const OptionDefinition& definition : definitions_) {
    if (text.IsEmpty()) break;
    if (definition.name.IsEmpty()) continue;
    const uint32_t start = text.Find(u" " + definition.name + u" ");
    if (start == npos) continue;
    const uint32_t length = text.Length();
    // The last character of the name; after a value, the character that ended it.
    uint32_t last = start + definition.name.Length();
    WString value;
    if (definition.takesValue) {
      uint32_t from = last + 1;
      while (from < length && text[from] == u' ') ++from;
      // A word that begins with "-" is the next option, not a value.
      if (from < length && text[from] != u'-') {
        char16_t terminator = u' ';
        if (text[from] == u'"') {
          terminator = u'"';
          ++from;
        }
        uint32_t end = text.Find(terminator, from);
        if (end == npos) end = length;
        value = text.Substring(from, end - from).Trim();
        last = end;
      }
    }
    Insert(definition.name, value);

    // Cut the option and its value out, up to the end of the word.
    while (last < length && text[last] != u' ') ++last;
    WString before = text.Substring(0, start + 1);
    WString after = last < length ? text.Substring(last + 1) : WString();
    if (IsBlank(before) && IsBlank(after)) return WString();
    text = before + u" " + after;
  }
  return text;
}

void CommandLineOptions::TakeFreeTokens(const WString& text) {
  for (const WString& piece : text.Split(u" ")) {
    WString token = piece.Trim();
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
    if (!ignored) freeWords_.push_back(name);
  }
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
