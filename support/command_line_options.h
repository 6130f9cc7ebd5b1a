// Command-line options: a table of known options, and the parse of the process arguments into a
// map from option name to value.
#pragma once

#include <map>
#include <vector>

#include "support/string_base.h"

namespace Vadu {

// One known option.
struct OptionDefinition {
  WString name;         // as typed, with its leading "-"
  WString description;  // one-line help text
  bool takesValue = false;
};

// The parsed command line, taken argument by argument. An argument equal to a known option's name
// is that option (its first occurrence only); the argument after an option that takes a value is
// its value, whole, unless it begins with "-" (then it is the next option and the value is empty).
// Every other non-empty argument becomes a free token of the form name or name=value.
class CommandLineOptions {
 public:
  // Copies the table of known options and resets the ignored prefixes to "-psn_".
  void SetDefinitions(const std::vector<OptionDefinition>& definitions);

  // Parses the arguments of the process. When argv[0] is exactly "dll", the remaining elements of
  // argv (UTF-8) are the arguments; otherwise they come from the system (the wide command line
  // split by the Windows rules on Windows, argv on POSIX). Earlier results are discarded.
  void Parse(int argc, const char* const* argv);
  // Parses an explicit argument list (the program name not included). Never fails: unknown
  // arguments become free tokens, a missing value gives an empty value.
  void ParseArguments(const std::vector<WString>& arguments);

  // Lookups take the name with or without its leading "-".
  bool HasOption(const WString& name) const;
  // Empty both for an option given without a value and for an absent option.
  WString GetOptionValue(const WString& name) const;

  // The arguments joined into one line, for logging only: it is not what was parsed, and it
  // cannot be split back into the arguments.
  const WString& JoinedLine() const { return joinedLine_; }
  // Names of the free tokens, in order, apart from those with an ignored prefix.
  const std::vector<WString>& FreeWords() const { return freeWords_; }
  // The free words that name no known option, with or without a leading "-" (whole, as typed,
  // value included), in order.
  const std::vector<WString>& UnknownWords() const { return unknownWords_; }
  // Known options given more than once (in any of their forms: "-target", "target=X"), by their
  // defined names, each once, in order.
  const std::vector<WString>& RepeatedOptions() const { return repeatedOptions_; }
  const std::map<WString, WString>& Values() const { return values_; }

  // The arguments joined with single spaces; an argument holding a space is put in double quotes.
  static WString JoinArguments(const std::vector<WString>& arguments);

 private:
  // Stores the first occurrence of each known option with its value and returns the arguments
  // left over, in order.
  std::vector<WString> TakeDefinedOptions(const std::vector<WString>& arguments);
  // Stores every non-empty argument as a free token.
  void TakeFreeTokens(const std::vector<WString>& arguments);
  // The known option named exactly `argument`, or null.
  const OptionDefinition* DefinitionNamed(const WString& argument) const;
  // The known option a free token's name stands for (the name as defined, or the name with a
  // leading "-" added), or null.
  const OptionDefinition* DefinitionOfToken(const WString& name) const;
  void NoteRepeated(const WString& name);
  void Insert(const WString& name, const WString& value);
  const WString* Find(const WString& name) const;

  WString joinedLine_;
  std::map<WString, WString> values_;
  std::vector<WString> freeWords_;
  std::vector<WString> unknownWords_;
  std::vector<WString> repeatedOptions_;
  std::vector<WString> given_;  // the known options met so far, by defined name
  std::vector<WString> ignoredPrefixes_;
  std::vector<OptionDefinition> definitions_;
};

}  // namespace Vadu
