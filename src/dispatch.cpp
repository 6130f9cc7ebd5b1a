#include "src/dispatch.h"

#include <algorithm>

#include "src/commands/add_resources.h"
#include "src/commands/check_command.h"
#include "src/commands/list_command.h"
#include "src/commands/package_command.h"
#include "src/commands/template_command.h"
#include "src/commands/unpack_command.h"
#include "src/exit_code.h"
#include "src/log_tags.h"
#include "src/option_names.h"
#include "src/print_line.h"
#include "src/usage.h"
#include "src/version.h"
#include "support/log.h"

namespace Zentu {

using Vadu::String;
using Vadu::WString;

std::vector<Vadu::OptionDefinition> FrontEndOptionDefinitions() {
  std::vector<Vadu::OptionDefinition> definitions = {
      {kResourceOption, u"Path to directory with resources", true},
      {kTargetOption, u"Path to Zentu executable file", true},
      {kIconOption,
       u"Path to icon file (*.ico for Windows/Linux and *.icns for MacOS). Icon file contains a "
       u"group of icons on the size of 128x128, 64x64, 48x48, 32x32, 24x24, 16x16",
       true},
      {kPackResourceOption, u"Path to directory with resources", true},
      {kOutDirOption, u"Path to directory where will write result (optional)", true},
      {kGetXmlOption, u"Create XML file with OEM Information", false},
      {kUnpackOption, u"Unpack resources from executable path", true},
      {kListOption, u"List the resources a file carries", true},
      {kCheckOption, u"Check a resource folder before adding it", true},
      {kVersionOption, u"Print the versions of the utility and of the 7-Zip it carries", false},
      {kPropertiesOption,
       u"Also give a Windows program's file properties the product and company names of "
       u"oem_info.xml",
       false},
      {kReplaceOption, u"Replace the resources the target carries instead of adding to them",
       false},
      {kJsonOption, u"Print the result of -check or -list as one JSON document", false},
  };
  for (const char16_t* name : kOtherVersionOptions)
    definitions.push_back(
        {name, u"Print the versions of the utility and of the 7-Zip it carries", false});
  for (const char16_t* name : kHelpOptions)
    definitions.push_back({name, u"Print the usage", false});
  return definitions;
}

namespace {

// The commands the front end runs.
enum class Command { kNone, kHelp, kVersion, kCheck, kList, kUnpack, kTemplate, kAdd, kPackage };

// A command the command line asks for: the option that names it, and the other options it reads.
struct CommandUse {
  Command command;
  WString name;
  std::vector<WString> reads;
};

// The options whose value is a path that cannot be left out.
constexpr const char16_t* kOptionsNeedingValues[] = {kResourceOption, kTargetOption, kIconOption,
                                                     kPackResourceOption};

bool IsIn(const WString& name, const auto& names) {
  for (const char16_t* one : names)
    if (name == one) return true;
  return false;
}

bool HasAny(const Vadu::CommandLineOptions& options, const auto& names) {
  for (const char16_t* name : names)
    if (options.Values().count(name)) return true;
  return false;
}

// Every command the options ask for, also through the lookup without the dash (target=X, getxml);
// help only in the spellings it is defined with.
std::vector<CommandUse> RequestedCommands(const Vadu::CommandLineOptions& options) {
  std::vector<CommandUse> found;
  if (HasAny(options, kHelpOptions)) found.push_back({Command::kHelp, kHelpOptions[0], {}});
  if (options.HasOption(kVersionOption) || HasAny(options, kOtherVersionOptions))
    found.push_back({Command::kVersion, kVersionOption, {}});
  if (options.HasOption(kCheckOption))
    found.push_back({Command::kCheck, kCheckOption, {kJsonOption}});
  if (options.HasOption(kListOption)) found.push_back({Command::kList, kListOption, {kJsonOption}});
  if (options.HasOption(kUnpackOption))
    found.push_back({Command::kUnpack, kUnpackOption, {kOutDirOption}});
  if (options.HasOption(kGetXmlOption))
    found.push_back({Command::kTemplate, kGetXmlOption, {kOutDirOption}});
  if ((options.HasOption(kResourceOption) || options.HasOption(kIconOption)) &&
      options.HasOption(kTargetOption))
    found.push_back({Command::kAdd,
                     kTargetOption,
                     {kResourceOption, kIconOption, kPropertiesOption, kReplaceOption}});
  if (options.HasOption(kPackResourceOption))
    found.push_back({Command::kPackage, kPackResourceOption, {kOutDirOption, kIconOption}});
  return found;
}

// Reports a command line that cannot be run as asked; exit code 2, nothing done.
void RefuseCommandLine(const String& line) {
  PrintLine(line);
  Vadu::LogRecord(Vadu::LogSource(Vadu::LogError, kFrontEndLogTag), line) << "\n";
  SetExitCode(kExitNoCommand);
}

String Names(const std::vector<WString>& names) {
  String text;
  for (size_t k = 0; k < names.size(); ++k) {
    if (k) text += k + 1 == names.size() ? " and " : ", ";
    text += Printable(Vadu::ToUtf8(names[k]));
  }
  return text;
}

// The mistakes of a command line that stop it before anything is done: options given twice,
// unknown words, a path option without its path. False after reporting the first kind found.
bool CommandLineIsSound(const Vadu::CommandLineOptions& options) {
  if (!options.RepeatedOptions().empty()) {
    RefuseCommandLine(String("ERROR: given more than once: ") + Names(options.RepeatedOptions()));
    return false;
  }
  if (!options.UnknownWords().empty()) {
    for (const WString& word : options.UnknownWords())
      RefuseCommandLine(String("ERROR: unknown option ") + Printable(Vadu::ToUtf8(word)));
    return false;
  }
  bool sound = true;
  for (const char16_t* name : kOptionsNeedingValues) {
    if (options.HasOption(name) && options.GetOptionValue(name).IsEmpty()) {
      RefuseCommandLine(String("ERROR: ") + Vadu::ToUtf8(name) + " needs a path");
      sound = false;
    }
  }
  return sound;
}

// The known options present that the chosen command does not read, each by its defined name.
std::vector<WString> UnusedOptions(const Vadu::CommandLineOptions& options,
                                   const CommandUse& chosen) {
  std::vector<WString> unused;
  for (const Vadu::OptionDefinition& definition : FrontEndOptionDefinitions()) {
    const WString& name = definition.name;
    if (!options.HasOption(name) || name == chosen.name) continue;
    if (std::find(chosen.reads.begin(), chosen.reads.end(), name) != chosen.reads.end()) continue;
    // The command's own option under another spelling.
    if (chosen.command == Command::kVersion &&
        (name == kVersionOption || IsIn(name, kOtherVersionOptions)))
      continue;
    if (chosen.command == Command::kAdd && (name == kResourceOption || name == kIconOption))
      continue;
    unused.push_back(name);
  }
  return unused;
}

void Run(const CommandUse& chosen, const Vadu::CommandLineOptions& options) {
  switch (chosen.command) {
    case Command::kHelp:
      return PrintUsage();
    case Command::kVersion:
      return PrintVersion();
    case Command::kCheck:
      return CheckResources(options.GetOptionValue(kCheckOption),
                            options.HasOption(kJsonOption) ? Output::kJson : Output::kLines);
    case Command::kList:
      return ListResources(options.GetOptionValue(kListOption),
                           options.HasOption(kJsonOption) ? Output::kJson : Output::kLines);
    case Command::kUnpack:
      return UnpackResources(options);
    case Command::kTemplate:
      return RunTemplateCommand(options);
    case Command::kAdd: {
      BrandingChoices choices;
      choices.properties =
          options.HasOption(kPropertiesOption) ? Properties::kBrand : Properties::kKeep;
      choices.embedded = options.HasOption(kReplaceOption) ? Embedded::kReplace : Embedded::kMerge;
      return AddResources(options.GetOptionValue(kTargetOption),
                          options.GetOptionValue(kIconOption),
                          options.GetOptionValue(kResourceOption), choices);
    }
    case Command::kPackage:
      return PackResources(options);
    case Command::kNone:
      return;
  }
}

}  // namespace

void DispatchCommand(const Vadu::CommandLineOptions& options) {
  if (!CommandLineIsSound(options)) return;
  const std::vector<CommandUse> requested = RequestedCommands(options);
  if (requested.empty()) {
    Vadu::LogRecord(Vadu::LogSource(Vadu::LogWarning, kFrontEndLogTag),
                    "Absent or unknown command line parameter(s)\n");
    PrintUsage();
    SetExitCode(kExitNoCommand);
    return;
  }
  // Help is asked for alongside anything.
  if (requested.front().command == Command::kHelp) return PrintUsage();
  if (requested.size() > 1) {
    std::vector<WString> names;
    for (const CommandUse& use : requested) names.push_back(use.name);
    return RefuseCommandLine(String("ERROR: one command at a time: ") + Names(names));
  }
  const CommandUse& chosen = requested.front();
  for (const WString& name : UnusedOptions(options, chosen))
    PrintLine(String("WARNING: ") + Vadu::ToUtf8(name) + " is not used with " +
              Vadu::ToUtf8(chosen.name));
  Run(chosen, options);
}

}  // namespace Zentu
